// Draws the station's pictures into the folder given (the build runs it on the offscreen platform).
#include "ui/artwork.h"
#include "ui/fonts.h"

#include <QGuiApplication>
#include <cstdio>

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_pictures FOLDER\n");
        return 2;
    }
    pcs::ui::Install_Font_Substitutes();
    if (!pcs::ui::Write_Artwork(argv[1], pcs::ui::Station_Artwork())) {
        std::fprintf(stderr, "make_pictures: a picture could not be written to %s\n", argv[1]);
        return 1;
    }
    return 0;
}
