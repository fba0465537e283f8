#include "platform/fonts.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QStringList>
#include <algorithm>
#include <map>

#include "platform/qt_fonts.h"

namespace etalon::platform {
namespace {

// The condensed cut: at a 13-pixel height its letters average about 6 pixels,
// the width the layout's offsets and label slots were made for (the regular
// cut averages 6.8, and position labels run into each other).
const char* const kTextFontPath = "/usr/share/fonts/truetype/dejavu/DejaVuSansCondensed.ttf";

QString& family() {
    static QString name = QStringLiteral("DejaVu Sans");
    return name;
}

// Unhinted pixel sizes do not map one to one onto heights, so we look for the
// largest size whose metrics give the wanted character height.
QFont makeTextFont(int height) {
    QFont font(family());
    font.setStretch(QFont::SemiCondensed);
    font.setStyleStrategy(QFont::NoAntialias);
    font.setHintingPreference(QFont::PreferFullHinting);
    int chosen = std::max(1, height - 2);
    for (int px = height + 3; px >= 4; --px) {
        font.setPixelSize(px);
        if (QFontMetrics(font).height() <= height) {
            chosen = px;
            break;
        }
    }
    font.setPixelSize(chosen);
    return font;
}

}  // namespace

bool loadApplicationFonts() {
    const int id = QFontDatabase::addApplicationFont(QString::fromUtf8(kTextFontPath));
    if (id < 0) return false;
    const QStringList families = QFontDatabase::applicationFontFamilies(id);
    if (!families.isEmpty()) family() = families.first();
    return true;
}

const QFont& qtFont(FontKind, int32_t height) {
    // Symbol text is mapped to Greek letters, which the text font carries.
    // Only the GUI thread draws, so the cache needs no lock.
    static std::map<int32_t, QFont> fonts;
    if (height <= 0) height = kTextFontHeight;
    auto found = fonts.find(height);
    if (found == fonts.end()) found = fonts.emplace(height, makeTextFont(height)).first;
    return found->second;
}

}  // namespace etalon::platform
