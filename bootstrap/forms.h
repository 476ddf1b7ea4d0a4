// A small window framework over Win32, just what the splash window needs: a
// form with show and close events, window messages dispatched to handlers by
// number, a modal run, and windowless picture and label components that the
// form paints in its own paint pass, so the form is a single system window.
//
// Everything here belongs to one thread: the thread that creates a form runs
// it, paints it and releases it.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "bootstrap/form_layout.h"

namespace forms {

// What happens to a form when it closes.
enum TCloseAction { caNone, caHide, caFree };

// Modal results: none yet, and the cancel result a close request sets.
constexpr int mrNone = 0;
constexpr int mrCancel = 2;

// The framework's own message: a posted release request. Dispatching it
// destroys the form's window and deletes the form object.
constexpr UINT CM_RELEASE = WM_APP + 0x3F00;

// Owns one GDI object (font, bitmap); deleted on destruction.
class GdiObject {
 public:
  GdiObject() = default;
  explicit GdiObject(HGDIOBJ object) : object_(object) {}
  GdiObject(const GdiObject&) = delete;
  GdiObject& operator=(const GdiObject&) = delete;
  ~GdiObject() { Reset(nullptr); }
  void Reset(HGDIOBJ object);
  HGDIOBJ Get() const { return object_; }

 private:
  HGDIOBJ object_ = nullptr;
};

struct TFontSpec {
  std::string Name;
  int Height = 0;  // negative: character height in pixels, as LOGFONT's lfHeight
  bool Bold = false;
  bool Italic = false;
  COLORREF Color = RGB(0, 0, 0);
  BYTE Charset = DEFAULT_CHARSET;
};

class TForm;

// A windowless component: it has bounds in its form's client area and paints
// itself when the form paints. Components paint in the order they were made,
// so later ones lie above earlier ones.
class TControl {
 public:
  explicit TControl(TForm& parent);
  TControl(const TControl&) = delete;
  TControl& operator=(const TControl&) = delete;
  virtual ~TControl();

  const TBounds& Bounds() const { return bounds_; }
  // Moves or resizes; marks the old and the new rectangle for repainting.
  void SetBounds(const TBounds& bounds);
  // Marks the component's rectangle for repainting; nothing is painted now.
  void Invalidate() const;

  virtual void Paint(HDC dc) = 0;
  // Scales the bounds (and a font, where there is one) for another screen.
  virtual void ChangeScale(TScaleRatio ratio);

 protected:
  TForm& parent_;
  TBounds bounds_;
};

// A picture. With Proportional on it is placed by ProportionalSize at the
// top-left corner of the bounds; otherwise at its own size. Whatever lies
// outside the bounds or the client area is cut off.
class TImage : public TControl {
 public:
  using TControl::TControl;

  bool Proportional = false;

  // Decodes a JPEG as the picture. False when it cannot be decoded; the
  // picture is then empty and nothing is drawn.
  bool LoadJpeg(const uint8_t* data, size_t size);
  void Paint(HDC dc) override;

 private:
  void PreparePlaced(HDC dc);

  TPixels picture_;
  GdiObject placed_;  // a DIB section of the placed picture, made on first paint
  TSize placed_size_;
};

// One line of ANSI text in its own font, drawn in the font's character set.
// With AutoSize on, the bounds follow the text's measured size.
class TLabel : public TControl {
 public:
  TLabel(TForm& parent, const TFontSpec& font);

  bool AutoSize = true;
  bool Transparent = true;

  const std::string& Caption() const { return caption_; }
  // Nothing when `caption` is the current text. Otherwise stores it, marks
  // the label for repainting and, with AutoSize, resizes it to the text
  // (marking the old and the new rectangle). Never paints.
  void SetCaption(const std::string& caption);
  const TFontSpec& Font() const { return font_spec_; }

  void Paint(HDC dc) override;
  void ChangeScale(TScaleRatio ratio) override;

 private:
  void CreateFontObject();
  void AdjustSize();

  std::string caption_;
  TFontSpec font_spec_;
  GdiObject font_;
};

// How a form looks when it is created.
struct TFormDesign {
  int Left = 0;          // screen position; never scaled
  int Top = 0;
  TSize ClientSize;
  std::string Caption;   // the window title: taskbar, window lists
  int Color = COLOR_BTNFACE;  // a system colour index for the background
  bool StayOnTop = false;     // topmost
  WORD IconResource = 0;      // an icon resource of this library; 0 for none
  TFontSpec Font;             // the form font the scaling rule measures
  int PixelsPerInch = 96;     // the design resolution ...
  int TextHeight = 13;        // ... and the form font's text height there
};

// A borderless popup form. The system window is made when the form is first
// shown (or its handle is first needed), not when the object is built.
class TForm {
 public:
  explicit TForm(const TFormDesign& design);
  TForm(const TForm&) = delete;
  TForm& operator=(const TForm&) = delete;
  // Destroys the window if it still exists. On another thread than the one
  // that owns it the window cannot be destroyed; it is then hidden and cut
  // loose from this code (its messages go to DefWindowProc from then on).
  virtual ~TForm();

  // Events.
  std::function<void()> OnShow;
  std::function<void(TCloseAction& action)> OnClose;
  // A handler for window message `message`, called with its parameters.
  void SetMessageHandler(UINT message, std::function<void(WPARAM, LPARAM)> handler);

  HWND Handle();                      // creates the window when there is none
  bool HandleAllocated() const { return handle_ != nullptr; }
  bool Visible() const;
  const TSize& ClientSize() const { return client_size_; }

  // The modal run. Refuses (std::logic_error) a form that is already visible.
  // Disables the thread's other visible, enabled top-level windows; runs
  // OnShow, then shows the form topmost at its position; then takes one
  // message of the thread at a time, translates and dispatches it, and after
  // each looks at the modal result. Once it is not mrNone the close step runs
  // (OnClose with caHide proposed; caFree posts a release request; caNone
  // goes on running). Then hides the form, enables the disabled windows again
  // and, if the form was active, gives the activation back to the window that
  // had it before. Returns the modal result. A WM_QUIT ends the run with
  // mrCancel and is posted again for the thread's own loop. An exception
  // thrown by a handler ends the run the same way and is rethrown here.
  int RunModal();
  int ModalResult() const { return modal_result_; }
  void SetModalResult(int result) { modal_result_ = result; }

  // Marks the whole form for repainting and paints it at once.
  void Repaint();
  // Hides the form without activating another window.
  void Hide();
  // Puts what this thread has drawn on the screen now (see the definition).
  void FlushToScreen();
  // Posts the release request.
  void Release();

  // Applies the scaling rule: on a screen whose resolution is not the design
  // one, the client size, the components' bounds and their fonts are scaled
  // by the form font's text height there over the designed text height.
  void ScaleForScreen();

  // For components.
  void Register(TControl* control);
  void Unregister(TControl* control);
  void InvalidateBounds(const TBounds& bounds);

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT Dispatch(UINT message, WPARAM wparam, LPARAM lparam);
  void CreateHandle();
  void PaintPass();
  bool CloseStep();

  TFormDesign design_;
  TSize client_size_;
  HWND handle_ = nullptr;
  HICON icon_ = nullptr;
  std::vector<TControl*> controls_;
  std::map<UINT, std::function<void(WPARAM, LPARAM)>> handlers_;
  int modal_result_ = mrNone;
  bool in_modal_run_ = false;
  std::exception_ptr handler_error_;
};

// The module handle of this library (or program), whose resources the forms use.
HINSTANCE ThisModule();

// Unregisters the framework's window class; for the library's unload, once no
// form window is left.
void ReleaseWindowClass();

}  // namespace forms
