#pragma once

#include <QColor>
#include <QString>

#include <array>

class QWidget;

namespace quadtherm::widgets {

// The program's one look: a dark instrument panel. Every colour it uses is
// named here.
namespace theme {

inline const QColor kText(0xe6, 0xe9, 0xec);
inline const QColor kMuted(0x9a, 0xa4, 0xad);
inline const QColor kCyan(0x38, 0xbd, 0xf8);
inline const QColor kGreen(0x4a, 0xde, 0x80);
inline const QColor kAmber(0xfb, 0xbf, 0x24);
inline const QColor kViolet(0xc0, 0x84, 0xfc);
inline const QColor kRed(0xf8, 0x71, 0x71);
// The faces of the panel, from the style sheet: its background, the toolbar,
// a frame's line and the well of an input field.
inline const QColor kPanelFace(0x1a, 0x1e, 0x23);
inline const QColor kToolbarFace(0x2b, 0x30, 0x36);
inline const QColor kFrameLine(0x4b, 0x53, 0x5c);
inline const QColor kWell(0x15, 0x18, 0x1c);
// T1 to T4: each channel's trace, name and knob.
inline const std::array<QColor, 4> kChannelColors{kCyan, kGreen, kAmber, kViolet};

// The dark look for the whole application: its style, palette and style
// sheet, for every window and dialog alike.
void applyToApplication();

// `a` and `b` blended, `weightOfA` (0 to 1) of the way to `a`.
QColor mix(const QColor& a, const QColor& b, double weightOfA);
QString styleSheet();

} // namespace theme

} // namespace quadtherm::widgets
