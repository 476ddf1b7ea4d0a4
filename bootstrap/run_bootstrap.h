// The whole bootstrap in one synchronous run, from "qs_sys.ini" to doHandle.
#pragma once

#include <string>

class Splash;

// The built-in base URL, "http://" + the update host of the build + "/l2/stave/".
extern const char kBaseUrl[];

// Runs every stage in order against `base_url` (which ends in "/"): paint,
// configuration, manifest, digest check, update, hand-off. Returns only after
// doHandle has returned; every failure ends the process through FailFatal.
// Processes no window messages.
void RunBootstrap(Splash& splash, const std::string& base_url);
