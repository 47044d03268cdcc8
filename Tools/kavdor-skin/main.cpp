// kavdor-skin: writes the pictures, texture-info sets, GUI configuration and sounds the engine,
// the module and the host read, below a runtime folder, at the names the code computes.
//
//   kavdor-skin RUN_FOLDER [--contact-sheet FILE.png]
//
// Only files whose bytes changed are written, so running it again after a build costs little.

#include <cstdio>
#include <exception>
#include <string>

#include "Skin.h"

namespace
{
const char kUsage[] = "usage: kavdor-skin RUN_FOLDER [--contact-sheet FILE.png]\n"
                      "  writes the pictures, fonts, sounds and settings the programs read below RUN_FOLDER\n"
                      "  (only the files whose bytes changed); --contact-sheet also draws all the\n"
                      "  pictures on one sheet\n";
}

int main(int argc, char** argv)
{
    if (argc >= 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h"))
    {
        std::fputs(kUsage, stdout);
        return 0;
    }
    // A folder name is what the first argument must be; an option there is a mistake, not a
    // folder to fill.
    if (argc < 2 || argv[1][0] == '-' ||
        (argc >= 3 && !(argc == 4 && std::string(argv[2]) == "--contact-sheet")))
    {
        std::fputs(kUsage, stderr);
        return 2;
    }
    try
    {
        skin::Output out(argv[1]);
        // Every card, faces and backs, on one sheet: a hand is drawn in one batch.
        out.PackSet("card", 8);
        skin::WriteGuiSkin(out);
        skin::WriteTable(out);
        skin::WriteCards(out);
        skin::WriteSounds(out);
        skin::WriteDigitFonts(out);
        skin::WriteSettings(out);
        skin::WriteFaces(out);
        skin::WriteFrame(out);
        out.WriteSets();
        if (argc == 4)
        {
            skin::Output sheet(".");
            sheet.Write(argv[3], skin::ContactSheet(out).Png());
        }
        std::printf("kavdor-skin: %d files written, %d unchanged\n", out.Written(), out.Unchanged());
        return 0;
    }
    catch (const std::exception& error)
    {
        std::fprintf(stderr, "kavdor-skin: %s\n", error.what());
        return 1;
    }
}
