// A measurement property of the setup document (the XML text of the "SETUP___"
// stream) read without the library: check needs the block size to turn the stored
// events' block numbers into seconds, and the public interface does not give it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kvtool {

// The text of root/System/KorvaneSetup/Devices/<name>, names matched without
// regard to case and the first match at each step taken (as the library reads the
// setup); none when the element is missing. Comments, CDATA sections, processing
// instructions and quoted attribute values are passed over; any text is safe.
std::optional<std::string> MeasurementProperty(std::string_view setup, std::string_view name);

// "BlockSize" as a positive number: the setup's value, the library's default 100
// when the element is missing or has no text, none when its text is not a
// positive int32.
std::optional<int32_t> SetupBlockSize(std::string_view setup);

}  // namespace kvtool
