// The GUI driver: what the screen shows of a window, as pixels and BMP files.
#include <cstdio>

#include "gui_driver.h"
#include "gui_driver_internal.h"

namespace gui {

COLORREF Bitmap::At(int x, int y) const {
  uint32_t p = pixels.at(static_cast<size_t>(y) * width + x);
  return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

Bitmap CaptureScreenRect(const RECT& r) {
  int w = r.right - r.left;
  int h = r.bottom - r.top;
  if (w <= 0 || h <= 0) Fail("capturing an empty rectangle");
  Canvas canvas(w, h);
  ScopedWindowDc screen{nullptr, GetDC(nullptr)};
  if (!screen.h) FailLastError("GetDC of the screen");
  if (!BitBlt(canvas.Dc(), 0, 0, w, h, screen.h, r.left, r.top, SRCCOPY | CAPTUREBLT)) {
    FailLastError("BitBlt from the screen");
  }
  return canvas.Pixels();
}

Bitmap CaptureWindow(HWND window, bool client_only) {
  RequireWindow(window, "CaptureWindow");
  RECT r;
  if (client_only) {
    if (!GetClientRect(window, &r)) FailLastError("GetClientRect");
    POINT tl = ToScreen(window, {r.left, r.top});
    OffsetRect(&r, tl.x - r.left, tl.y - r.top);
  } else {
    r = ScreenRect(window);
  }
  return CaptureScreenRect(r);
}

COLORREF PixelAt(HWND window, POINT client) {
  RequireWindow(window, "PixelAt");
  POINT at = ToScreen(window, client);
  return CaptureScreenRect({at.x, at.y, at.x + 1, at.y + 1}).At(0, 0);
}

void SaveBitmap(const Bitmap& bitmap, const std::string& path) {
  const int row = (bitmap.width * 3 + 3) & ~3;
  const DWORD image_size = static_cast<DWORD>(row) * bitmap.height;
  BITMAPFILEHEADER fh = {};
  BITMAPINFOHEADER ih = {};
  fh.bfType = 0x4D42;  // "BM"
  fh.bfOffBits = sizeof fh + sizeof ih;
  fh.bfSize = fh.bfOffBits + image_size;
  ih.biSize = sizeof ih;
  ih.biWidth = bitmap.width;
  ih.biHeight = bitmap.height;  // bottom-up
  ih.biPlanes = 1;
  ih.biBitCount = 24;
  ih.biCompression = BI_RGB;
  ih.biSizeImage = image_size;

  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) Fail("cannot create '" + path + "'");
  std::vector<unsigned char> line(static_cast<size_t>(row), 0);
  bool ok = std::fwrite(&fh, sizeof fh, 1, f) == 1 && std::fwrite(&ih, sizeof ih, 1, f) == 1;
  for (int y = bitmap.height - 1; ok && y >= 0; --y) {
    for (int x = 0; x < bitmap.width; ++x) {
      uint32_t p = bitmap.pixels[static_cast<size_t>(y) * bitmap.width + x];
      line[x * 3] = p & 0xFF;
      line[x * 3 + 1] = (p >> 8) & 0xFF;
      line[x * 3 + 2] = (p >> 16) & 0xFF;
    }
    ok = std::fwrite(line.data(), line.size(), 1, f) == 1;
  }
  if (std::fclose(f) != 0) ok = false;
  if (!ok) Fail("cannot write '" + path + "'");
}

void SaveScreenshot(HWND window, const std::string& path) {
  SaveBitmap(CaptureWindow(window), path);
}

}  // namespace gui
