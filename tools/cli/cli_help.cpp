#include "cli_help.h"

namespace {

#ifdef _WIN32
#define VARERI_CLI_DIRECTORY_HELP                                                       \
  "Without --dir, the installation directory is the one the window proposes: for a\n"   \
  "format 6 update file the PathName value under HKLM\\Software\\<its registry path>\n" \
  "when there is one, else the file's default directory, on drive C: when it names\n"   \
  "none. The Windows and system directories are the system's.\n"
#define VARERI_CLI_TRUST_STORE_HELP                                                         \
  "The trust store is in the registry: HKLM\\SOFTWARE\\vareri\\Trust (read in its 64-bit\n" \
  "view) and HKCU\\SOFTWARE\\vareri\\Trust, one subkey per product with the values\n"       \
  "Directory and Key; the policy is the DWORD RequireSignature under\n"                     \
  "HKLM\\SOFTWARE\\Policies\\vareri. Writing HKLM needs an administrator.\n"
#define VARERI_CLI_TRUST_STORE_OPTION ""
#else
#define VARERI_CLI_TRUST_STORE_HELP                                                        \
  "The trust store is a file, named by --trust-store or else by VARERI_TRUST_STORE: one\n" \
  "entry a line, a key's one-line text, a tab and the directory; a line\n"                 \
  "\"require-signature\" sets the policy. Without one there is no trust store.\n"
#define VARERI_CLI_TRUST_STORE_OPTION \
  "  --trust-store FILE the trust store (default: $VARERI_TRUST_STORE)\n"
#define VARERI_CLI_DIRECTORY_HELP                                                        \
  "Without --dir, the installation directory is the update file's default directory,\n"  \
  "on drive C: when it names none. This build has no registry: the registry path of a\n" \
  "format 6 update file is not read. The Windows and system directories default to\n"    \
  "C:\\WINDOWS and C:\\WINDOWS\\SYSTEM. Paths are Windows paths; this build turns\n"     \
  "their backslashes into slashes, so C:\\APP is the directory C:/APP under the\n"       \
  "current one, and finds names in any case, as Windows does (quill.exe for\n"           \
  "QUILL.EXE), so it serves a mounted Windows volume or a Wine prefix.\n"
#endif

const char kHelp[] =
    "Usage: vareri-cli check FILE.upd [--dir DIR] [options]\n"
    "       vareri-cli update FILE.upd [--dir DIR] [--backup] [options]\n"
    "       vareri-cli list FILE.upd [--dir DIR] [options]\n"
    "       vareri-cli trust add --dir DIR --key KEY [--user]\n"
    "       vareri-cli trust list\n"
    "       vareri-cli trust remove --dir DIR [--user]\n"
    "\n"
    "Checks the installed files of a product against an update file, or updates them,\n"
    "without a window: the same runs, log lines and closing texts as vareri.exe.\n"
    "\n"
    "Commands:\n"
    "  check    inspect every selected file and say whether it can be updated\n"
    "  update   inspect every selected file; when none has an error, replace the older\n"
    "           ones (a file is never left half-written)\n"
    "  list     show the update's components and files, where they would be found and\n"
    "           which versions they replace, without looking at any installed file\n"
    "  trust    record the key an installation directory requires (add), show the trust\n"
    "           store (list), or take a directory's entry out of it (remove)\n"
    "\n"
    "Options:\n"
    "  --dir DIR          the installation directory (default: see below)\n"
    "  --only NAME        select exactly the named components (repeatable)\n"
    "  --exclude NAME     leave the named component out (repeatable); with --only, out\n"
    "                     of those, else out of the update file's default selection\n"
    "  --backup           keep each replaced file's previous version under its backup\n"
    "                     name (last character replaced by '_': A.DLL -> A.DL_)\n"
    "  --windows-dir DIR  the Windows directory (default: see below)\n"
    "  --system-dir DIR   the system directory (default: see below)\n"
    "  --json             instead of the log lines and the closing text, print one JSON\n"
    "                     object per file entry as soon as its outcome is final, then a\n"
    "                     summary object, also when the command is refused; one a line\n"
    "  --quiet            print nothing but errors; the exit status tells the rest\n"
    "  --log FILE         also append every line to FILE, with the date, time and time\n"
    "                     zone, the command line and the exit status\n"
    "  --key KEY          require the update file to be signed by KEY: the one-line text\n"
    "                     updpack keygen prints, or a file holding it or a PEM public key;\n"
    "                     besides, never instead of, what the trust store requires\n"
    "  --user             trust: the per-user part of the store\n" VARERI_CLI_TRUST_STORE_OPTION
    "  -h, --help         show this help\n"
    "  --version          print the version\n"
    "\n"
    "Components are named by their component name, exactly as the update file spells\n"
    "it; an unknown name is an error before anything runs.\n"
    "\n"
    "An update file with an integrity record is checked against its digests before\n"
    "anything runs. Which key it must be signed by is decided by what the run would\n"
    "change: every trust entry whose directory holds one of the files requires its key,\n"
    "and so do the product's recorded UpdateKey (beside PathName) and --key. Two\n"
    "different keys, or with the policy RequireSignature a file no entry covers, refuse\n"
    "the run. What was checked is said on standard error, and with --json in the\n"
    "summary's \"integrity\" object; a file is called signed only when a required key\n"
    "verified it. See docs/trust.md.\n"
    "\n" VARERI_CLI_TRUST_STORE_HELP
    "\n"
    "With --json, each entry gives the installed file's version and size, the new ones,\n"
    "the versions the update accepts when the installed one is not among them, and the\n"
    "reason for an error; the summary gives the host, the start time, the duration and\n"
    "how many files the run changed (\"changed\"). An update that finds every file up to\n"
    "date already exits 0 and says on standard error that nothing was changed.\n"
    "\n"
    "On a terminal, a check or update (unless --quiet) shows on standard error how far\n"
    "each pass has come (checking 12/2000, updating 12/2000), in one line it clears at\n"
    "the end; a redirected standard error and the log file never get it.\n"
    "\n"
    "Interrupted (Ctrl+C or Ctrl+Break; SIGINT or SIGTERM), a run finishes the file in\n"
    "hand, replaces no other, removes its temporary files and exits 3 if it replaced\n"
    "any file, else 2; a second interrupt ends it at once.\n"
    "\n" VARERI_CLI_DIRECTORY_HELP
    "\n"
    "Exit status:\n"
    "  0   everything is up to date, or was updated (list: the file was read)\n"
    "  1   check: files can be updated, and no error was found\n"
    "  2   errors were found, or the run was interrupted; nothing was changed\n"
    "  3   the update stopped part-way: some files were replaced\n"
    "  4   the update file could not be opened or read, is damaged, is not a supported\n"
    "      update file, or is not signed by the key its files require\n"
    "  64  wrong usage, an unknown component, or a log file that cannot be opened;\n"
    "      also the output could not be written (a full disk), whatever the run did\n";

}  // namespace

const char* CliHelpText() { return kHelp; }
