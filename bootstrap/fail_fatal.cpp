#include "bootstrap/fail_fatal.h"

#include "bootstrap/splash.h"
#include "os/process.h"

// The texts are Russian, stored as Windows-1251 bytes: the ANSI message box
// shows them correctly where the system's ANSI code page is 1251.
const char kFatalCaption[] = "\xCE\xF8\xE8\xE1\xEA\xE0 Brim Stave \xD1\xE8\xF1\xF2\xE5\xEC\xFB";

namespace {

// "Отсутствует или поврежден файл конфигурации."
const char kConfig[] =
    "\xCE\xF2\xF1\xF3\xF2\xF1\xF2\xE2\xF3\xE5\xF2 \xE8\xEB\xE8 \xEF\xEE\xE2\xF0\xE5\xE6\xE4\xE5\xED "
    "\xF4\xE0\xE9\xEB \xEA\xEE\xED\xF4\xE8\xE3\xF3\xF0\xE0\xF6\xE8\xE8.";
// "Нехватает данных для загрузки."
const char kNoData[] =
    "\xCD\xE5\xF5\xE2\xE0\xF2\xE0\xE5\xF2 \xE4\xE0\xED\xED\xFB\xF5 \xE4\xEB\xFF "
    "\xE7\xE0\xE3\xF0\xF3\xE7\xEA\xE8.";
// "У вас запрещен доступ для приложения l2.exe к интернету по протоколу HTTP."
// CR LF "Рекомендуем отключить Фаерволл."
const char kHttp[] =
    "\xD3 \xE2\xE0\xF1 \xE7\xE0\xEF\xF0\xE5\xF9\xE5\xED \xE4\xEE\xF1\xF2\xF3\xEF \xE4\xEB\xFF "
    "\xEF\xF0\xE8\xEB\xEE\xE6\xE5\xED\xE8\xFF l2.exe \xEA \xE8\xED\xF2\xE5\xF0\xED\xE5\xF2\xF3 "
    "\xEF\xEE \xEF\xF0\xEE\xF2\xEE\xEA\xEE\xEB\xF3 HTTP.\r\n"
    "\xD0\xE5\xEA\xEE\xEC\xE5\xED\xE4\xF3\xE5\xEC \xEE\xF2\xEA\xEB\xFE\xF7\xE8\xF2\xFC "
    "\xD4\xE0\xE5\xF0\xE2\xEE\xEB\xEB.";
// "Ошибка загрузки Brimstave файла."
const char kStoreDirectory[] =
    "\xCE\xF8\xE8\xE1\xEA\xE0 \xE7\xE0\xE3\xF0\xF3\xE7\xEA\xE8 Brimstave \xF4\xE0\xE9\xEB\xE0.";
// "ошибка  обновления файла защиты." (lower-case start, two blanks: as shipped)
const char kUpdateSize[] =
    "\xEE\xF8\xE8\xE1\xEA\xE0  \xEE\xE1\xED\xEE\xE2\xEB\xE5\xED\xE8\xFF \xF4\xE0\xE9\xEB\xE0 "
    "\xE7\xE0\xF9\xE8\xF2\xFB.";
// "Ошибка инициализации файла защиты."
const char kModuleInit[] =
    "\xCE\xF8\xE8\xE1\xEA\xE0 \xE8\xED\xE8\xF6\xE8\xE0\xEB\xE8\xE7\xE0\xF6\xE8\xE8 \xF4\xE0\xE9\xEB\xE0 "
    "\xE7\xE0\xF9\xE8\xF2\xFB.";

}  // namespace

const char* FatalMessageText(FatalMessage message) {
  static const char* const texts[] = {kConfig,         kNoData,     kHttp,
                                      kStoreDirectory, kUpdateSize, kModuleInit};
  return texts[static_cast<int>(message) - 1];
}

void FailFatal(Splash& splash, FatalMessage message) {
  splash.HideSplash();
  os::ShowErrorBox(FatalMessageText(message), kFatalCaption);
  os::TerminateSelf(1);
}
