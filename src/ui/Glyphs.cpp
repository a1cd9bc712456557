#include "ui/Glyphs.h"

#include <QPainter>
#include <QPixmap>
#include <QPushButton>

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
    // Each letter's colour, and its grey in the disabled copy: dark parts darker grey, light
    // parts lighter grey.
    struct Ink {
        char letter;
        QRgb normal;
        QRgb grey;
    };
    static constexpr Ink inks[] = {{'K', 0x000000, 0x808080},
                                   {'Y', 0xFFFF00, 0xC0C0C0},
                                   {'C', 0x00FFFF, 0xC0C0C0},
                                   {'R', 0xFF0000, 0x808080},
                                   {'G', 0x008000, 0x808080}};
    QImage img(16, 16, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            for (const Ink& ink : inks)
                if (rows[y][x] == ink.letter)
                    img.setPixel(x, y, 0xFF000000 | (disabled ? ink.grey : ink.normal));
    return img;
}

void setTrailingGlyph(QPushButton* button, const QIcon& glyph) {
    // The button lays its icon out right to left, and would put the glyph right against the
    // label: the icon carries the gap as transparent columns on its left.
    constexpr int kGap = 4;
    QIcon padded;
    for (QIcon::Mode mode : {QIcon::Normal, QIcon::Disabled}) {
        QPixmap pixmap(16 + kGap, 16);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.drawPixmap(kGap, 0, glyph.pixmap(QSize(16, 16), mode));
        painter.end();
        padded.addPixmap(pixmap, mode);
    }
    button->setIcon(padded);
    button->setIconSize(QSize(16 + kGap, 16));
    button->setLayoutDirection(Qt::RightToLeft);
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
