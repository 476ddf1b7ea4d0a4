#include "bootstrap/ufrmSplash.h"

#include <stdexcept>

#include "bootstrap/run_bootstrap.h"

TfrmSplash* frmSplash = nullptr;

namespace {

forms::TFormDesign SplashDesign() {
  forms::TFormDesign design;
  design.Left = 458;
  design.Top = 374;
  design.ClientSize = forms::TSize{417, 110};
  design.Caption = "Quarnel Team Brim Stave";
  design.Color = COLOR_MENU;
  design.StayOnTop = true;
  design.IconResource = kSplashIconResource;
  design.Font = forms::TFontSpec{"MS Sans Serif", -11, false, false, GetSysColor(COLOR_WINDOWTEXT),
                                 DEFAULT_CHARSET};
  design.PixelsPerInch = 96;
  design.TextHeight = 13;
  return design;
}

// "Load game....... бляяяя.....", the Cyrillic word as Windows-1251 bytes. The
// label draws it with RUSSIAN_CHARSET, which maps these bytes to Cyrillic
// whatever the system's ANSI code page is.
const char kInitialStatus[] = "Load game....... \xE1\xEB\xFF\xFF\xFF\xFF.....";

const forms::TFontSpec kLabelFont{"Times New Roman", -21, true, true, RGB(255, 0, 0),
                                  RUSSIAN_CHARSET};

}  // namespace

TfrmSplash::TfrmSplash() : TForm(SplashDesign()), Image1(*this), Label1(*this, kLabelFont) {
  Image1.SetBounds(forms::TBounds{-2, -1, 419, 114});
  Image1.Proportional = true;
  HRSRC found = FindResourceA(forms::ThisModule(), MAKEINTRESOURCEA(kSplashPictureResource),
                              reinterpret_cast<LPCSTR>(RT_RCDATA));
  HGLOBAL loaded = found != nullptr ? LoadResource(forms::ThisModule(), found) : nullptr;
  const void* picture = loaded != nullptr ? LockResource(loaded) : nullptr;
  if (picture == nullptr ||
      !Image1.LoadJpeg(static_cast<const uint8_t*>(picture), SizeofResource(forms::ThisModule(), found))) {
    throw std::runtime_error("the splash picture cannot be loaded");
  }

  Label1.SetBounds(forms::TBounds{16, 8, 226, 24});
  Label1.AutoSize = true;
  Label1.Transparent = true;
  Label1.SetCaption(kInitialStatus);

  ScaleForScreen();

  OnShow = [this] { FormShow(); };
  OnClose = [this](forms::TCloseAction& action) { FormClose(action); };
  SetMessageHandler(WM_START_BOOTSTRAP, [this](WPARAM, LPARAM) { StartBootstrap(); });
}

TfrmSplash::~TfrmSplash() {
  if (frmSplash == this) frmSplash = nullptr;
}

void TfrmSplash::FormShow() {
  if (!PostMessageA(Handle(), WM_START_BOOTSTRAP, 0, 0)) {
    throw std::runtime_error("the start message cannot be posted");
  }
}

void TfrmSplash::FormClose(forms::TCloseAction& action) { action = forms::caFree; }

void TfrmSplash::StartBootstrap() { RunBootstrap(*this, kBaseUrl); }

void TfrmSplash::PaintNow() {
  Repaint();
  FlushToScreen();
}

void TfrmSplash::SetStatusText(const std::string& text) { Label1.SetCaption(text); }

void TfrmSplash::HideSplash() {
  Hide();
  FlushToScreen();
}

void TfrmSplash::RequestClose() { SetModalResult(forms::mrCancel); }
