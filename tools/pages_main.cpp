// deepglass-pages: writes deepglass's man page or its bash completion script, both made from the
// tool's own command and option tables. The build runs it; it is not installed.
#include <cstdio>
#include <fstream>
#include <string>

#include "pages/completion_script.h"
#include "pages/man_page.h"

int main(int argc, char** argv)
{
    const std::string what = argc == 3 ? argv[1] : "";
    if (what != "man" && what != "bash-completion") {
        std::fputs("usage: deepglass-pages man|bash-completion FILE\n", stderr);
        return 2;
    }
    std::ofstream file(argv[2], std::ios::binary);
    file << (what == "man" ? deepglass::ManPage() : deepglass::BashCompletion());
    file.close();
    if (!file) {
        std::fprintf(stderr, "deepglass-pages: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
