#pragma once

// Truncates toward zero into the int range; NaN gives 0.
int truncateToInt(double value);
