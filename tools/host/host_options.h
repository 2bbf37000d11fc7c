// velkhost's command line: the options, their checks and the help text.
#pragma once

#include <string>

#include "drawing_render.h"

namespace velkhost {

struct Options {
    std::string module;    // the module file; empty: the one built beside velkhost
    std::string machine;   // empty: a new folder under the system's temporary folder
    std::string drawing;   // empty: a new drawing (the demo's own with --demo)
    std::string script;
    std::string save;
    std::string png;
    int pngSize = 1600;
    bool pngWindowGiven = false;
    RenderWindow pngWindow;
    bool overwrite = false;
    bool demo = false;
    bool quiet = false;
    bool help = false;
};

// False, with the reason, for an unknown option, a missing value or a value
// that cannot be read.
bool ParseOptions(int argc, char** argv, Options& options, std::string& error);

// The usage, every option and the script forms.
const char* HelpText();

}  // namespace velkhost
