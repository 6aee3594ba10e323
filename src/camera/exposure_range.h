// The exposure range: the unit of an exposure value, chosen with the camera
// dialog's range buttons. Ranges below seconds are timed by the camera
// itself; seconds and minutes by the host.
#pragma once

#include <optional>

namespace tarvex {

enum class ExposureRange { Thousandths, Hundredths, Tenths, Seconds, Minutes };

inline constexpr ExposureRange EXPOSURE_RANGES[] = {
    ExposureRange::Thousandths, ExposureRange::Hundredths, ExposureRange::Tenths,
    ExposureRange::Seconds, ExposureRange::Minutes};

// The range a command-line letter names: 'q' thousandths, 'h' hundredths,
// 't' tenths, 's' seconds, 'm' minutes; nothing for any other letter.
std::optional<ExposureRange> exposure_range_from_letter(char letter);
// The letter of a range, as the command line writes it.
char exposure_range_to_letter(ExposureRange range);

// A short exposure's value in milliseconds: the value in its range's unit,
// minutes counting as seconds (window and guide frames never run minutes).
int short_exposure_ms(int value, ExposureRange range);

}  // namespace tarvex
