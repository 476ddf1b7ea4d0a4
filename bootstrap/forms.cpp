#include "bootstrap/forms.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "bootstrap/jpeg_picture.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace forms {

namespace {

const char kWindowClass[] = "qStaveForm";

// Wine hands a thread's drawing to the X server only when that thread next
// looks at its message queue, so a window painted inside a handler that then
// blocks would stay black. Peeking for this message, which nothing sends,
// looks at the queue and takes nothing from it.
constexpr UINT kNoSuchMessage = WM_APP + 0x3F01;

RECT ToRect(const TBounds& b) { return RECT{b.Left, b.Top, b.Left + b.Width, b.Top + b.Height}; }

bool RegisterWindowClass() {
  WNDCLASSEXA existing{};
  existing.cbSize = sizeof existing;
  if (GetClassInfoExA(ThisModule(), kWindowClass, &existing)) return true;
  WNDCLASSEXA cls{};
  cls.cbSize = sizeof cls;
  cls.lpfnWndProc = DefWindowProcA;  // each form installs its own procedure at creation
  cls.hInstance = ThisModule();
  cls.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  cls.lpszClassName = kWindowClass;
  return RegisterClassExA(&cls) != 0;
}

// The thread's visible, enabled top-level windows other than `self`,
// disabled; the list is what must be enabled again.
struct DisableContext {
  HWND self;
  std::vector<HWND> disabled;
};

BOOL CALLBACK DisableOne(HWND window, LPARAM param) {
  auto* context = reinterpret_cast<DisableContext*>(param);
  if (window != context->self && IsWindowVisible(window) && IsWindowEnabled(window)) {
    EnableWindow(window, FALSE);
    context->disabled.push_back(window);
  }
  return TRUE;
}

// A form font measured the way the scaling rule wants it: the text height of
// "0" on the screen, and the screen's resolution.
struct ScreenMeasure {
  int PixelsPerInch = 96;
  int TextHeight = 0;
};

ScreenMeasure MeasureOnScreen(const TFontSpec& design) {
  ScreenMeasure measure;
  HDC screen = GetDC(nullptr);
  if (screen == nullptr) return measure;
  measure.PixelsPerInch = GetDeviceCaps(screen, LOGPIXELSY);
  HFONT font = CreateFontA(design.Height, 0, 0, 0, design.Bold ? FW_BOLD : FW_NORMAL, design.Italic, FALSE,
                           FALSE, design.Charset, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                           DEFAULT_QUALITY, DEFAULT_PITCH, design.Name.c_str());
  if (font != nullptr) {
    HGDIOBJ old = SelectObject(screen, font);
    SIZE size{};
    if (GetTextExtentPoint32A(screen, "0", 1, &size)) measure.TextHeight = size.cy;
    SelectObject(screen, old);
    DeleteObject(font);
  }
  ReleaseDC(nullptr, screen);
  return measure;
}

}  // namespace

HINSTANCE ThisModule() { return reinterpret_cast<HINSTANCE>(&__ImageBase); }

void ReleaseWindowClass() { UnregisterClassA(kWindowClass, ThisModule()); }

void GdiObject::Reset(HGDIOBJ object) {
  if (object_ != nullptr) DeleteObject(object_);
  object_ = object;
}

// ---------------------------------------------------------------- TControl

TControl::TControl(TForm& parent) : parent_(parent) { parent_.Register(this); }

TControl::~TControl() { parent_.Unregister(this); }

void TControl::SetBounds(const TBounds& bounds) {
  if (bounds == bounds_) return;
  Invalidate();
  bounds_ = bounds;
  Invalidate();
}

void TControl::Invalidate() const { parent_.InvalidateBounds(bounds_); }

void TControl::ChangeScale(TScaleRatio ratio) { SetBounds(ScaleBounds(bounds_, ratio)); }

// ---------------------------------------------------------------- TImage

bool TImage::LoadJpeg(const uint8_t* data, size_t size) {
  placed_.Reset(nullptr);
  placed_size_ = TSize{};
  const bool decoded = DecodeJpeg(data, size, &picture_);
  Invalidate();
  return decoded;
}

void TImage::PreparePlaced(HDC dc) {
  const TSize own{picture_.Width, picture_.Height};
  const TSize size = Proportional ? ProportionalSize(own, TSize{bounds_.Width, bounds_.Height}) : own;
  if (placed_.Get() != nullptr && size == placed_size_) return;
  placed_.Reset(nullptr);
  placed_size_ = size;
  if (size.Width <= 0 || size.Height <= 0) return;

  const TPixels pixels = size == own ? picture_ : ResamplePixels(picture_, size.Width, size.Height);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = size.Width;
  info.bmiHeader.biHeight = -size.Height;  // top-down rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap == nullptr) return;
  placed_.Reset(bitmap);
  const size_t stride = (static_cast<size_t>(size.Width) * 3 + 3) & ~static_cast<size_t>(3);
  auto* out = static_cast<uint8_t*>(bits);
  for (int y = 0; y < size.Height; ++y) {
    const uint8_t* in = &pixels.Rgb[static_cast<size_t>(y) * size.Width * 3];
    uint8_t* row = out + stride * y;
    for (int x = 0; x < size.Width; ++x) {  // DIB pixels are blue, green, red
      row[x * 3] = in[x * 3 + 2];
      row[x * 3 + 1] = in[x * 3 + 1];
      row[x * 3 + 2] = in[x * 3];
    }
  }
}

void TImage::Paint(HDC dc) {
  PreparePlaced(dc);
  if (placed_.Get() == nullptr) return;
  HDC source = CreateCompatibleDC(dc);
  if (source == nullptr) return;
  HGDIOBJ old = SelectObject(source, placed_.Get());
  const int saved = SaveDC(dc);
  IntersectClipRect(dc, bounds_.Left, bounds_.Top, bounds_.Left + bounds_.Width,
                    bounds_.Top + bounds_.Height);
  BitBlt(dc, bounds_.Left, bounds_.Top, placed_size_.Width, placed_size_.Height, source, 0, 0, SRCCOPY);
  RestoreDC(dc, saved);
  SelectObject(source, old);
  DeleteDC(source);
}

// ---------------------------------------------------------------- TLabel

TLabel::TLabel(TForm& parent, const TFontSpec& font) : TControl(parent), font_spec_(font) {
  CreateFontObject();
}

void TLabel::CreateFontObject() {
  const TFontSpec& s = font_spec_;
  font_.Reset(CreateFontA(s.Height, 0, 0, 0, s.Bold ? FW_BOLD : FW_NORMAL, s.Italic, FALSE, FALSE,
                          s.Charset, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                          DEFAULT_PITCH, s.Name.c_str()));
}

void TLabel::SetCaption(const std::string& caption) {
  if (caption == caption_) return;
  caption_ = caption;
  Invalidate();
  AdjustSize();
}

void TLabel::AdjustSize() {
  if (!AutoSize) return;
  // Measured on the screen, which is where the label is drawn; the form's
  // window need not exist yet.
  HDC screen = GetDC(nullptr);
  if (screen == nullptr) return;
  HGDIOBJ old = SelectObject(screen, font_.Get());
  SIZE size{};
  const bool measured = caption_.empty()
                            ? GetTextExtentPoint32A(screen, " ", 1, &size) != 0
                            : GetTextExtentPoint32A(screen, caption_.data(),
                                                    static_cast<int>(caption_.size()), &size) != 0;
  SelectObject(screen, old);
  ReleaseDC(nullptr, screen);
  if (!measured) return;
  // An empty label keeps the height of a line and no width.
  SetBounds(TBounds{bounds_.Left, bounds_.Top, caption_.empty() ? 0 : size.cx, size.cy});
}

void TLabel::ChangeScale(TScaleRatio ratio) {
  TControl::ChangeScale(ratio);
  font_spec_.Height = ScaleFontHeight(font_spec_.Height, ratio);
  CreateFontObject();
  AdjustSize();
}

void TLabel::Paint(HDC dc) {
  const int saved = SaveDC(dc);
  SelectObject(dc, font_.Get());
  SetTextColor(dc, font_spec_.Color);
  SetBkMode(dc, Transparent ? TRANSPARENT : OPAQUE);
  RECT rect = ToRect(bounds_);
  // TextOutA turns the bytes into characters with the code page of the
  // font's character set, so Cyrillic text drawn with RUSSIAN_CHARSET reads
  // right whatever the system's ANSI code page is.
  ExtTextOutA(dc, bounds_.Left, bounds_.Top, ETO_CLIPPED, &rect, caption_.data(),
              static_cast<UINT>(caption_.size()), nullptr);
  RestoreDC(dc, saved);
}

// ---------------------------------------------------------------- TForm

TForm::TForm(const TFormDesign& design) : design_(design), client_size_(design.ClientSize) {}

TForm::~TForm() {
  if (handle_ != nullptr) {
    HWND window = handle_;
    handle_ = nullptr;
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    if (GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId()) {
      DestroyWindow(window);
    } else {
      // Only the owning thread can destroy it; make sure no message reaches
      // code that may be about to be unloaded. The icon stays with the window.
      SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(DefWindowProcA));
      ShowWindowAsync(window, SW_HIDE);
      icon_ = nullptr;
    }
  }
  if (icon_ != nullptr) DestroyIcon(icon_);
}

void TForm::SetMessageHandler(UINT message, std::function<void(WPARAM, LPARAM)> handler) {
  handlers_[message] = std::move(handler);
}

HWND TForm::Handle() {
  if (handle_ == nullptr) CreateHandle();
  return handle_;
}

bool TForm::Visible() const { return handle_ != nullptr && IsWindowVisible(handle_); }

void TForm::CreateHandle() {
  if (!RegisterWindowClass()) throw std::runtime_error("the form's window class cannot be registered");
  const DWORD style = WS_POPUP | WS_CLIPSIBLINGS;
  const DWORD ex_style = design_.StayOnTop ? WS_EX_TOPMOST : 0;
  RECT frame{0, 0, client_size_.Width, client_size_.Height};
  AdjustWindowRectEx(&frame, style, FALSE, ex_style);
  HWND window = CreateWindowExA(ex_style, kWindowClass, design_.Caption.c_str(), style, design_.Left,
                                design_.Top, frame.right - frame.left, frame.bottom - frame.top,
                                nullptr, nullptr, ThisModule(), nullptr);
  if (window == nullptr) throw std::runtime_error("the form's window cannot be created");
  handle_ = window;
  SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TForm::WindowProc));
  if (design_.IconResource != 0 && icon_ == nullptr) {
    icon_ = static_cast<HICON>(LoadImageA(ThisModule(), MAKEINTRESOURCEA(design_.IconResource),
                                          IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                          GetSystemMetrics(SM_CYICON), 0));
  }
  if (icon_ != nullptr) SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
}

LRESULT CALLBACK TForm::WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* form = reinterpret_cast<TForm*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (form == nullptr) return DefWindowProcA(window, message, wparam, lparam);
  // No exception may cross the system's window code: it cannot unwind it.
  try {
    return form->Dispatch(message, wparam, lparam);
  } catch (...) {
    if (form->in_modal_run_) {
      if (!form->handler_error_) form->handler_error_ = std::current_exception();
      form->modal_result_ = mrCancel;
    }
    return 0;
  }
}

LRESULT TForm::Dispatch(UINT message, WPARAM wparam, LPARAM lparam) {
  auto handler = handlers_.find(message);
  if (handler != handlers_.end()) {
    handler->second(wparam, lparam);
    return 0;
  }
  switch (message) {
    case WM_ERASEBKGND: {
      RECT client;
      GetClientRect(handle_, &client);
      FillRect(reinterpret_cast<HDC>(wparam), &client, GetSysColorBrush(design_.Color));
      return 1;
    }
    case WM_PAINT:
      PaintPass();
      return 0;
    case WM_CLOSE:
      // Inside the modal run a close only asks the run to end; otherwise the
      // close step decides at once.
      if (in_modal_run_) {
        modal_result_ = mrCancel;
      } else if (CloseStep()) {
        Hide();
      }
      return 0;
    case CM_RELEASE:
      delete this;  // destroys the window first
      return 0;
    case WM_NCDESTROY: {
      // Destroyed from outside: the form object lives on without a window.
      HWND window = handle_;
      handle_ = nullptr;
      SetWindowLongPtrA(window, GWLP_USERDATA, 0);
      return DefWindowProcA(window, message, wparam, lparam);
    }
    default:
      break;
  }
  return DefWindowProcA(handle_, message, wparam, lparam);
}

void TForm::PaintPass() {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(handle_, &paint);
  if (dc == nullptr) return;
  for (TControl* control : controls_) {
    RECT bounds = ToRect(control->Bounds());
    RECT overlap;
    if (IntersectRect(&overlap, &bounds, &paint.rcPaint)) control->Paint(dc);
  }
  EndPaint(handle_, &paint);
}

bool TForm::CloseStep() {
  TCloseAction action = caHide;
  if (OnClose) OnClose(action);
  if (action == caNone) return false;
  if (action == caFree) Release();
  return true;
}

int TForm::RunModal() {
  if (Visible()) throw std::logic_error("a visible form cannot be run modally");
  HWND window = Handle();
  HWND previously_active = GetActiveWindow();
  DisableContext context{window, {}};
  EnumThreadWindows(GetCurrentThreadId(), DisableOne, reinterpret_cast<LPARAM>(&context));

  modal_result_ = mrNone;
  in_modal_run_ = true;
  handler_error_ = nullptr;
  try {
    if (OnShow) OnShow();
    ShowWindow(window, SW_SHOW);
    for (;;) {
      MSG msg;
      const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
      if (got > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
      } else {
        // WM_QUIT (0) belongs to the thread's own loop: leave it there. A
        // failed GetMessage (-1) would fail again at once.
        if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));
        if (modal_result_ == mrNone) modal_result_ = mrCancel;
      }
      if (handler_error_) break;
      if (modal_result_ != mrNone) {
        if (CloseStep()) break;
        modal_result_ = mrNone;
      }
    }
  } catch (...) {
    if (!handler_error_) handler_error_ = std::current_exception();
  }

  in_modal_run_ = false;
  const bool was_active = handle_ != nullptr && GetActiveWindow() == handle_;
  if (handle_ != nullptr) Hide();
  for (HWND disabled : context.disabled) {
    if (IsWindow(disabled)) EnableWindow(disabled, TRUE);
  }
  if (was_active && previously_active != nullptr && IsWindow(previously_active)) {
    SetActiveWindow(previously_active);
  }
  if (handler_error_) {
    std::exception_ptr error = std::move(handler_error_);
    handler_error_ = nullptr;
    std::rethrow_exception(error);
  }
  return modal_result_;
}

void TForm::Repaint() {
  if (handle_ == nullptr) return;
  InvalidateRect(handle_, nullptr, TRUE);
  UpdateWindow(handle_);
}

void TForm::Hide() {
  if (handle_ == nullptr) return;
  SetWindowPos(handle_, nullptr, 0, 0, 0, 0,
               SWP_HIDEWINDOW | SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER |
                   SWP_NOOWNERZORDER);
}

void TForm::FlushToScreen() {
  MSG msg;
  PeekMessageA(&msg, handle_, kNoSuchMessage, kNoSuchMessage, PM_NOREMOVE);
}

void TForm::Release() {
  if (handle_ != nullptr) PostMessageA(handle_, CM_RELEASE, 0, 0);
}

void TForm::ScaleForScreen() {
  const ScreenMeasure measure = MeasureOnScreen(design_.Font);
  const TScaleRatio ratio = FormScaleRatio(measure.PixelsPerInch, design_.PixelsPerInch,
                                           measure.TextHeight, design_.TextHeight);
  if (ratio.IsIdentity()) return;
  client_size_ = ScaleSize(client_size_, ratio);
  design_.Font.Height = ScaleFontHeight(design_.Font.Height, ratio);
  for (TControl* control : controls_) control->ChangeScale(ratio);
  if (handle_ != nullptr) {
    SetWindowPos(handle_, nullptr, 0, 0, client_size_.Width, client_size_.Height,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void TForm::Register(TControl* control) { controls_.push_back(control); }

void TForm::Unregister(TControl* control) {
  controls_.erase(std::remove(controls_.begin(), controls_.end(), control), controls_.end());
}

void TForm::InvalidateBounds(const TBounds& bounds) {
  if (handle_ == nullptr) return;
  RECT rect = ToRect(bounds);
  InvalidateRect(handle_, &rect, TRUE);
}

}  // namespace forms
