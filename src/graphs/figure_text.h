#pragma once

#include <QString>

namespace quadtherm::graphs {

// A figure for the user: in fixed notation with `decimals` decimals while
// that shows it ("1370.0", "0.0" rather than "-0.0"), otherwise, for
// magnitudes of 1e9 and above or too small for those decimals, in
// scientific notation with `significantDecimals` decimals ("1.00e+26",
// "4.00e-03"): fixed notation would print 1e26 as
// "100000000000000004764729344.0", and 0.004 as "0.00". An infinity is
// "inf" or "-inf", NaN "nan".
QString figureText(double value, int decimals, int significantDecimals = 2);

} // namespace quadtherm::graphs
