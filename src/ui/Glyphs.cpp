#include "Glyphs.h"

#include <QPixmap>

namespace wk::ui {
namespace {

// clang-format off
const char* const kHand[16] = {
    "................",
    "................",
    "................",
    "....KKKKK.......",
    "KKKKYYYYYKKKKKK.",
    "KCCKYYYYYYYYYYYK",
    "KCCKYYYYYKKKKKK.",
    "KCCKYYYYYYYK....",
    "KCCKYYYYKKKK....",
    "KCCKYYYYYYYK....",
    "KCCKYYYYKKK.....",
    "KKKKYYYYYYK.....",
    "....KKKKKKK.....",
    "................",
    "................",
    "................",
};

const char* const kSearch[16] = {
    "..............K.",
    "..............K.",
    "................",
    "...KKKK.......K.",
    "KKKYYYYKKKKK..K.",
    "KCKYYYYYYYYYK...",
    "KCKYYYYKKKKK..K.",
    "KCKYYYYYYK...RRR",
    "KCKYYYYKKK...RRR",
    "KCKYYYYYYK...RRR",
    "KKKYYYYKK.....K.",
    "...KKKKK......K.",
    "................",
    "..............K.",
    "..............K.",
    "................",
};

const char* const kOk[16] = {
    "................",
    "................",
    "................",
    "............GG..",
    "...........GGG..",
    "..........GGG...",
    ".........GGG....",
    "..GG....GGG.....",
    "..GGG..GGG......",
    "...GGGGGG.......",
    "....GGGG........",
    ".....GG.........",
    "................",
    "................",
    "................",
    "................",
};
// clang-format on

QIcon iconFrom(const char* const rows[16]) {
    QIcon icon;
    icon.addPixmap(QPixmap::fromImage(glyphImage(rows, false)), QIcon::Normal);
    icon.addPixmap(QPixmap::fromImage(glyphImage(rows, true)), QIcon::Disabled);
    return icon;
}

} // namespace

QImage glyphImage(const char* const rows[16], bool disabled) {
    QImage img(16, 16, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            QColor c;
            switch (rows[y][x]) {
            case 'K':
                c = disabled ? QColor(128, 128, 128) : QColor(0, 0, 0);
                break;
            case 'Y':
                c = disabled ? QColor(192, 192, 192) : QColor(255, 255, 0);
                break;
            case 'C':
                c = disabled ? QColor(192, 192, 192) : QColor(0, 255, 255);
                break;
            case 'R':
                c = disabled ? QColor(128, 128, 128) : QColor(255, 0, 0);
                break;
            case 'G':
                c = disabled ? QColor(128, 128, 128) : QColor(0, 128, 0);
                break;
            default:
                continue;
            }
            img.setPixelColor(x, y, c);
        }
    }
    return img;
}

QIcon handGlyph() {
    return iconFrom(kHand);
}

QIcon searchGlyph() {
    return iconFrom(kSearch);
}

QIcon okGlyph() {
    return iconFrom(kOk);
}

} // namespace wk::ui
