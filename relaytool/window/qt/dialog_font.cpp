#include "dialog_font.h"

#include <QFileInfo>
#include <QFontDatabase>
#include <QStringList>

namespace {

// The font the control table's sizes and places are made for.
constexpr const char *kLayoutFamily = "MS Sans Serif";

// Font files worth registering when the system does not know them: Tahoma from fonts-wine.
// Only the regular face: the bold file of that package draws hardly heavier than the regular one,
// while Qt's synthetic bold of the regular face is as heavy as the bold captions need.
constexpr const char *kSubstituteFiles[] = {
    "/usr/share/wine/fonts/tahoma.ttf",
    "/usr/local/share/wine/fonts/tahoma.ttf",
    "/opt/homebrew/share/wine/fonts/tahoma.ttf",
};

// Substitutes in order of preference, with the stretch that gives their digits and letters about
// the advance of MS Sans Serif (so "02 5A 3C 81 43" fits its 99-pixel field).
struct Substitute {
    const char *family;
    int stretch;
};
constexpr Substitute kSubstitutes[] = {
    {"Microsoft Sans Serif", 100},  // MS Sans Serif's scalable twin
    {"Tahoma", 90},
    {"Liberation Sans", 88},
    {"Arial", 88},
    {"DejaVu Sans", 76},
};
constexpr int kLastResortStretch = 76;

struct Choice {
    QString family;
    int stretch = 100;
};

Choice Choose() {
    InstallDialogFonts();
    const QStringList families = QFontDatabase::families();
    if (families.contains(kLayoutFamily) && QFontDatabase::isSmoothlyScalable(kLayoutFamily))
        return {kLayoutFamily, 100};
    for (const Substitute &substitute : kSubstitutes)
        if (families.contains(substitute.family)) return {substitute.family, substitute.stretch};
    return {QFont().defaultFamily(), kLastResortStretch};
}

const Choice &Chosen() {
    static const Choice choice = Choose();
    return choice;
}

}  // namespace

void InstallDialogFonts() {
    static bool done = false;
    if (done) return;
    done = true;
    if (QFontDatabase::isSmoothlyScalable(kLayoutFamily)) return;
    for (const char *file : kSubstituteFiles)
        if (QFileInfo::exists(file)) QFontDatabase::addApplicationFont(file);
}

QString DialogFontFamily() { return Chosen().family; }

int DialogFontStretch() { return Chosen().stretch; }

QFont DialogFont(int pixelSize, bool bold) {
    QFont font(DialogFontFamily());
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    font.setStretch(DialogFontStretch());
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}
