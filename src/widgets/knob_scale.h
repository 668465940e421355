#pragma once

#include <QString>

#include <vector>

namespace quadtherm::widgets {

// Angles are in degrees, counter-clockwise from three o'clock (QPainter's arc
// convention). The scale runs clockwise from the lower left to the lower right.
constexpr double kKnobStartAngle = 225.0;
constexpr double kKnobSweep = 270.0;

// Step of 1, 2 or 5 × 10^n: the smallest that puts at most maxTicks ticks on [lo, hi].
double knobTickStep(double minimum, double maximum, int maxTicks);

// Multiples of knobTickStep inside the sorted bounds, ascending. A zero span gives
// the single bound; non-finite bounds give nothing.
std::vector<double> knobMajorTicks(double minimum, double maximum, int maxTicks);

// Multiples of the minor step (a fifth or a quarter of majorStep) inside the bounds,
// the major positions left out.
std::vector<double> knobMinorTicks(double minimum, double maximum, double majorStep);

// Linear between the start (at minimum) and the end (at maximum); min > max
// reverses the scale. A zero span puts every value at the start.
double knobAngleForValue(double value, double minimum, double maximum);

// Fraction 0..1 along the sweep for a point at `angle`; the dead zone below the
// centre goes to the nearer end.
double knobFractionForAngle(double angle);

// Drag: the fraction carried by the pointer's turn from `fromAngle` to `toAngle`.
// It is left unclamped so that a knob driven past its stop comes back only when
// the mouse turns back, as a real knob does.
double knobDragFraction(double fraction, double fromAngle, double toAngle);

double knobValueForFraction(double fraction, double minimum, double maximum);

// Values the user picks land on tenths.
double roundUserValue(double value);

// Keyboard and wheel step: a 1, 2 or 5 × 10^n near `fraction` of the span, at least a tenth.
double knobUserStep(double minimum, double maximum, double fraction);

// Short scale text: no trailing zeros, no "-0", thousands as "k" from 10000 up,
// exponents from a million up.
QString knobTickLabel(double value, double step);

} // namespace quadtherm::widgets
