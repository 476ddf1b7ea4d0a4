// The splash window: a borderless, topmost strip with the picture and one line
// of status text, up while the bootstrap runs inside its modal run.
#pragma once

#include <string>

#include "bootstrap/fail_fatal.h"
#include "bootstrap/forms.h"
#include "bootstrap/splash.h"

// The start message the window posts to itself when it is shown; its handler
// is the whole bootstrap.
constexpr UINT WM_START_BOOTSTRAP = 2025;

// The resource ids of the picture (RCDATA) and the icon.
constexpr WORD kSplashPictureResource = 100;
constexpr WORD kSplashIconResource = 1;

class TfrmSplash final : public forms::TForm, public Splash {
 public:
  // Builds the form and its components from the design, with no owner and no
  // system window yet (that comes with RunModal). Throws std::runtime_error
  // when the picture resource is missing or cannot be decoded.
  TfrmSplash();
  // Clears frmSplash when it points here.
  ~TfrmSplash() override;

  forms::TImage Image1;
  forms::TLabel Label1;

  // Posts WM_START_BOOTSTRAP to the window. Throws std::runtime_error when the
  // post fails: the modal run would otherwise wait for it for good.
  void FormShow();
  // The window frees itself once its modal run is over.
  void FormClose(forms::TCloseAction& action);

  // Splash: what the bootstrap asks of the window.
  void PaintNow() override;
  void SetStatusText(const std::string& text) override;
  void HideSplash() override;
  void RequestClose() override;

  [[noreturn]] void FailFatal(FatalMessage message) { ::FailFatal(*this, message); }

 private:
  void StartBootstrap();
};

// The one splash window, from its creation by the library's start-up until it
// is released (then nullptr).
extern TfrmSplash* frmSplash;
