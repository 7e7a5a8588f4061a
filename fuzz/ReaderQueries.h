// The parts of the whole-file query fuzz target: the input's layout, and the query
// passes over an open file that live in their own files.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "KVDataReaderLib.h"
#include "fuzz/QueryArguments.h"

namespace Korvane::DataReader::Fuzz {

// Parameter bytes in front of the file.
constexpr size_t kParamBytes = 32;

// The values per sample of channel `index` as the library describes it: 256 for a
// text channel, else the product of its axis sizes, at least 1 (for an index that
// no list gave).
int32_t ValuesPerSample(KVReaderHandle reader, int32_t index);
// Every per-channel query of one channel (ReaderChannelQueries.cpp); arraySize is
// the values per sample its list record gives.
void QueryChannel(KVReaderHandle reader, Params& params, int32_t index, int32_t arraySize);
// Reduced records of several channels at once at a level from the parameters.
void QueryReducedBlock(KVReaderHandle reader, Params& params, const std::vector<int32_t>& indexes);
// Both flat tables; arraySizes are those of the channel list, in list order.
void QueryTables(KVReaderHandle reader, Params& params, const std::vector<int32_t>& arraySizes);

// The file opened in the registry's active reader, and every KV form run on it,
// including the text functions that exist only there (ReaderRegistryQueries.cpp).
void QueryRegistryForms(const std::string& path, Params& params, const std::string& exportPath);

}  // namespace Korvane::DataReader::Fuzz
