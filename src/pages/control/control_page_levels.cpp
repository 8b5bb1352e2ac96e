// ControlPage: the "Backlight", "Brightness" and "Volume" boxes (scroll bar, edit, up/down
// buttons) and the "Command and Checksum Data" composer.
#include "pages/control/control_page.h"

#include "pages/control/level_controls.h"
#include "protocol/composer.h"
#include "ui_control_page.h"

namespace dravik::pages {

namespace {
constexpr int kLevelMin = 0;
constexpr int kLevelMax = 100;
constexpr int kVolumeSpinMax = 60;
}  // namespace

void ControlPage::setUpLevelControls() {
    Ui::ControlPage& ui = *ui_;
    struct Level {
        LevelScrollBar* bar;
        SpinButtons* spin;
        QLineEdit* edit;
        int spinMax;
        int* value;
        const char* name;
    };
    const Level levels[] = {
        {ui.brightnessBar, ui.brightnessSpin, ui.brightnessEdit, kLevelMax, &values_.brightness, "Brightness"},
        {ui.backlightBar, ui.backlightSpin, ui.backlightEdit, kLevelMax, &values_.backlight, "Backlight"},
        {ui.volumeBar, ui.volumeSpin, ui.volumeEdit, kVolumeSpinMax, &values_.volume, "Volume"},
    };
    for (const Level& level : levels) {
        level.spin->setBuddy(level.edit);
        level.spin->setRange(kLevelMin, level.spinMax);
        level.spin->nameArrows(QString::fromLatin1(level.name));
        // All three bars run from 0 to 100, the volume bar included.
        level.bar->setRange(kLevelMin, kLevelMax);
        level.bar->setPosition(*level.value);
        LevelScrollBar* bar = level.bar;
        int* value = level.value;
        connect(bar, &LevelScrollBar::scrolled, this,
                [this, bar, value](ScrollKind kind, int thumb) { onLevelScrolled(bar, *value, kind, thumb); });
    }
}

// A scroll bar notification: one step moves the bar by one (not past the ends), the release
// of the thumb puts the bar where the thumb is, anything else leaves it. The bar's position
// as it was before this notification (or after the step) becomes the level, and every
// stored value goes back into the controls. The end of a drag therefore stores the new
// position with the end-of-scroll that follows the release.
void ControlPage::onLevelScrolled(LevelScrollBar* bar, int& level, ScrollKind kind, int thumb) {
    int position = bar->position();
    switch (kind) {
        case ScrollKind::LineLeft:
            if (position > kLevelMin) bar->setPosition(--position);
            break;
        case ScrollKind::LineRight:
            if (position < kLevelMax) bar->setPosition(++position);
            break;
        case ScrollKind::ThumbPosition:
            bar->setPosition(thumb);
            break;
        default:
            break;
    }
    level = position;
    writeControls();
}

// "Checksum": shows the composed frame and its checksum; sends nothing and leaves the frame
// buffer alone.
void ControlPage::computeChecksum() {
    setTxText(QString());
    readControls();
    std::array<std::string, protocol::kComposerBytes> texts;
    for (std::size_t i = 0; i < texts.size(); ++i) texts[i] = composer_[i].toStdString();
    const protocol::ComposerResult result = protocol::ComposeChecksum(texts);
    if (!result.ok) {
        feedback().message(QString::fromStdString(result.message));
        return;
    }
    composer_[15] = QString::fromStdString(result.checksumText);
    setTxText(QString::fromStdString(result.txText));
    writeControls();
}

}  // namespace dravik::pages
