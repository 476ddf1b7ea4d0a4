#include "bootstrap/run_bootstrap.h"

// QSTAVE_UPDATE_HOST comes from the build (host, or host:port); nothing else
// in the library can change where it connects to.
const char kBaseUrl[] = "http://" QSTAVE_UPDATE_HOST "/l2/stave/";
