// Times, one kind at a time, the Windows calls that inspecting and replacing one installed
// file is made of, over every file of an installed tree (a copy: files are made and removed
// beside them, none is changed). Run under Wine on the scale benchmark's product
// (scale_bench --product) to see where the time per file goes.
// Usage: call_probe INSTALL_DIR UPDATE_FILE [KIND]: only the kinds whose names hold KIND.
// Output: one line per kind, "KIND: U us per file".
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr DWORD kSample = 64;
constexpr int kSamples = 8;
constexpr DWORD kNewBytes = 16 * 1024;

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "call_probe: %s (error %lu)\n", what.c_str(), GetLastError());
  std::exit(1);
}

void ListFiles(const std::string& dir, std::vector<std::string>* files) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((dir + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) Fail("cannot list " + dir);
  do {
    std::string name = found.cFileName;
    if (name == "." || name == "..") continue;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      ListFiles(dir + "\\" + name, files);
    } else if (name.find('~') == std::string::npos) {
      files->push_back(dir + "\\" + name);
    }
  } while (FindNextFileA(search, &found));
  FindClose(search);
}

HANDLE Open(const std::string& path, DWORD access, DWORD share, DWORD disposition,
            DWORD flags = FILE_ATTRIBUTE_NORMAL) {
  return CreateFileA(path.c_str(), access, share, nullptr, disposition, flags, nullptr);
}

void Close(HANDLE h, const std::string& path) {
  if (h == INVALID_HANDLE_VALUE) Fail("cannot open " + path);
  CloseHandle(h);
}

void WriteBytes(HANDLE h, DWORD count) {
  static std::vector<char> bytes(kNewBytes, 'x');
  DWORD done = 0;
  if (!WriteFile(h, bytes.data(), count, &done, nullptr) || done != count) Fail("cannot write");
}

// A copy of `path` as `target`, to be replaced, and a new file of 16 KB as `fresh`.
void CopyAndNewFile(const std::string& path, const std::string& target, const std::string& fresh) {
  if (!CopyFileA(path.c_str(), target.c_str(), FALSE)) Fail("cannot copy " + path);
  HANDLE h = Open(fresh, GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS);
  WriteBytes(h, kNewBytes);
  Close(h, fresh);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4) {
    std::fprintf(stderr, "usage: call_probe INSTALL_DIR UPDATE_FILE [KIND]\n");
    return 2;
  }
  const std::string install = argv[1], upd = argv[2];
  std::vector<std::string> files;
  ListFiles(install, &files);
  char temp[MAX_PATH];
  if (GetTempPathA(sizeof temp, temp) == 0) Fail("no temporary directory");
  std::vector<char> block, sample(kSample);

  const std::vector<std::pair<const char*, std::function<void(const std::string&)>>> kinds = {
      {"version calls",
       [&](const std::string& path) {
         DWORD ignored = 0, size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
         block.resize(size ? size : 1);
         void* value = nullptr;
         UINT length = 0;
         char root[] = "\\";
         if (!size || !GetFileVersionInfoA(path.c_str(), 0, size, block.data()) ||
             !VerQueryValueA(block.data(), root, &value, &length)) {
           Fail("no version in " + path);
         }
       }},
      {"attributes open, type, close",
       [&](const std::string& path) {
         HANDLE h = Open(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         OPEN_EXISTING, 0);
         if (GetFileType(h) != FILE_TYPE_DISK) Fail("not a disk file: " + path);
         Close(h, path);
       }},
      {"the same with GetFileSizeEx, GetFileTime",
       [&](const std::string& path) {
         HANDLE h = Open(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         OPEN_EXISTING, 0);
         LARGE_INTEGER size;
         FILETIME written;
         if (GetFileType(h) != FILE_TYPE_DISK || !GetFileSizeEx(h, &size) ||
             !GetFileTime(h, nullptr, nullptr, &written)) {
           Fail("no size or time of " + path);
         }
         Close(h, path);
       }},
      {"the same with GetFileInformationByHandle",
       [&](const std::string& path) {
         HANDLE h = Open(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         OPEN_EXISTING, 0);
         BY_HANDLE_FILE_INFORMATION info;
         if (GetFileType(h) != FILE_TYPE_DISK || !GetFileInformationByHandle(h, &info)) {
           Fail("no information on " + path);
         }
         Close(h, path);
       }},
      {"the same with its final path",
       [&](const std::string& path) {
         HANDLE h = Open(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         OPEN_EXISTING, 0);
         wchar_t name[MAX_PATH];
         if (GetFileType(h) != FILE_TYPE_DISK ||
             GetFinalPathNameByHandleW(h, name, MAX_PATH, 0) == 0) {
           Fail("no final path of " + path);
         }
         Close(h, path);
       }},
      {"GetFileAttributesA, SetFileAttributesA",
       [&](const std::string& path) {
         DWORD attributes = GetFileAttributesA(path.c_str());
         if (attributes == INVALID_FILE_ATTRIBUTES ||
             !SetFileAttributesA(path.c_str(), attributes)) {
           Fail("no attributes of " + path);
         }
       }},
      {"FindFirstFileA, FindClose",
       [&](const std::string& path) {
         WIN32_FIND_DATAA data;
         HANDLE find = FindFirstFileA(path.c_str(), &data);
         if (find == INVALID_HANDLE_VALUE) Fail("cannot find " + path);
         FindClose(find);
       }},
      {"exclusive open, close",
       [&](const std::string& path) {
         Close(Open(path, GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING), path);
       }},
      {"exclusive open, 8 seeks and reads, close",
       [&](const std::string& path) {
         HANDLE h = Open(path, GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING);
         for (int i = 0; i < kSamples; ++i) {
           DWORD done = 0;
           SetFilePointer(h, i * 1000, nullptr, FILE_BEGIN);
           ReadFile(h, sample.data(), kSample, &done, nullptr);
         }
         Close(h, path);
       }},
      {"GetFileAttributesA of a missing name",
       [&](const std::string& path) {
         if (GetFileAttributesA((path + "~UPD").c_str()) != INVALID_FILE_ATTRIBUTES) {
           Fail("a leftover was there");
         }
       }},
      {"DeleteFileA of a missing name",
       [&](const std::string& path) {
         if (DeleteFileA((path + "~UPD").c_str())) Fail("a leftover was there");
       }},
      {"new file: create alone, close, delete",
       [&](const std::string& path) {
         std::string name = path + "~UPD";
         Close(Open(name, GENERIC_READ | GENERIC_WRITE | DELETE, 0, CREATE_NEW), name);
         DeleteFileA(name.c_str());
       }},
      {"new file: the same with its final path",
       [&](const std::string& path) {
         std::string name = path + "~UPD";
         HANDLE h = Open(name, GENERIC_READ | GENERIC_WRITE | DELETE, 0, CREATE_NEW);
         wchar_t final[MAX_PATH];
         if (GetFinalPathNameByHandleW(h, final, MAX_PATH, 0) == 0) Fail("no final path");
         Close(h, name);
         DeleteFileA(name.c_str());
       }},
      {"new file: create, write 16 KB, close, delete",
       [&](const std::string& path) {
         std::string name = path + "~UPD";
         HANDLE h = Open(name, GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS);
         WriteBytes(h, kNewBytes);
         Close(h, name);
         DeleteFileA(name.c_str());
       }},
      {"new file: the same with FlushFileBuffers",
       [&](const std::string& path) {
         std::string name = path + "~UPD";
         HANDLE h = Open(name, GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS);
         WriteBytes(h, kNewBytes);
         FlushFileBuffers(h);
         Close(h, name);
         DeleteFileA(name.c_str());
       }},
      {"scratch file: name, create deleted on close, write 8 KB, close",
       [&](const std::string&) {
         char name[MAX_PATH];
         UINT unique = (GetTickCount() & 0xFFFF) | 1;
         if (!GetTempFileNameA(temp, "UPD", unique, name)) Fail("no temporary name");
         HANDLE h = Open(name, GENERIC_READ | GENERIC_WRITE, 0, CREATE_NEW,
                         FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE);
         WriteBytes(h, kNewBytes / 2);
         Close(h, name);
       }},
      {"ReplaceFileA of a copy by a new file",
       [&](const std::string& path) {
         std::string target = path + "~OLD", fresh = path + "~UPD";
         CopyAndNewFile(path, target, fresh);
         if (!ReplaceFileA(target.c_str(), fresh.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                           nullptr, nullptr)) {
           Fail("cannot replace " + target);
         }
         DeleteFileA(target.c_str());
       }},
      {"MoveFileExA of a new file over a copy",
       [&](const std::string& path) {
         std::string target = path + "~OLD", fresh = path + "~UPD";
         CopyAndNewFile(path, target, fresh);
         if (!MoveFileExA(fresh.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
           Fail("cannot move over " + target);
         }
         DeleteFileA(target.c_str());
       }},
      {"scratch file kept: rewind, write 8 KB, cut, duplicate handle, close it",
       [&](const std::string&) {
         static HANDLE kept = INVALID_HANDLE_VALUE;
         if (kept == INVALID_HANDLE_VALUE) {
           char name[MAX_PATH];
           if (!GetTempFileNameA(temp, "UPD", (GetTickCount() & 0xFFFF) | 1, name)) {
             Fail("no temporary name");
           }
           kept = Open(name, GENERIC_READ | GENERIC_WRITE, 0, CREATE_NEW,
                       FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE);
           if (kept == INVALID_HANDLE_VALUE) Fail("cannot make a scratch file");
         }
         SetFilePointer(kept, 0, nullptr, FILE_BEGIN);
         WriteBytes(kept, kNewBytes / 2);
         SetEndOfFile(kept);
         SetFilePointer(kept, 0, nullptr, FILE_BEGIN);
         HANDLE copy = INVALID_HANDLE_VALUE;
         if (!DuplicateHandle(GetCurrentProcess(), kept, GetCurrentProcess(), &copy, 0, FALSE,
                              DUPLICATE_SAME_ACCESS)) {
           Fail("cannot duplicate a handle");
         }
         CloseHandle(copy);
       }},
      {"CopyFileA to a new name, delete",
       [&](const std::string& path) {
         std::string copy = path + "~CPY";
         if (!CopyFileA(path.c_str(), copy.c_str(), FALSE)) Fail("cannot copy " + path);
         DeleteFileA(copy.c_str());
       }},
  };
  HANDLE updFile = Open(upd, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  for (const auto& kind : kinds) {
    if (argc == 4 && std::string(kind.first).find(argv[3]) == std::string::npos) continue;
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    for (const std::string& path : files) kind.second(path);
    QueryPerformanceCounter(&end);
    double us = 1e6 * static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart;
    std::printf("%s: %.1f us per file\n", kind.first, us / files.size());
    std::fflush(stdout);
  }
  // The update file's fingerprint: sixteen small reads in sequence, or one.
  for (int reads : {16, 1}) {
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    for (size_t i = 0; i < files.size(); ++i) {
      SetFilePointer(updFile, static_cast<LONG>(i * 600), nullptr, FILE_BEGIN);
      for (int r = 0; r < reads; ++r) {
        DWORD done = 0;
        ReadFile(updFile, sample.data(), reads == 1 ? kSample : kSample / 2, &done, nullptr);
      }
    }
    QueryPerformanceCounter(&end);
    double us = 1e6 * static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart;
    std::printf("update file: a seek and %d reads: %.1f us per file\n", reads, us / files.size());
  }
  CloseHandle(updFile);
  return 0;
}
