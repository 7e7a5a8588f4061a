// Writing through the HDF5 C library. Its automatic error printing is switched off:
// a failure becomes a ToolError naming the output. Chunks hold about 64 KiB, and
// each window extends the datasets and writes one hyperslab.
#include "Hdf5Sink.h"

#include <hdf5.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "Output.h"
#include "ToolError.h"

namespace kvtool {
namespace {

constexpr size_t kEventTextBytes = 200;

struct EventRecord {
  int32_t type;
  double time;
  char text[kEventTextBytes];
};

struct RegionRecord {
  double start;
  double stop;
};

}  // namespace

struct Hdf5Sink::Group {
  hid_t group = -1;
  hid_t values = -1;
  hid_t time = -1;
  hid_t memoryType = -1;  // for text columns: a fixed-length string type
  int32_t width = 1;      // values per row (0: text)
  size_t textBytes = 0;
  std::vector<char> textBuffer;
};

namespace {

std::string g_target;  // the output, for error messages

void Check(herr_t status, const char* what) {
  if (status < 0) throw ToolError(kExitOutputFailure, "writing " + g_target + ": HDF5 could not " + what);
}

hid_t CheckId(hid_t id, const char* what) {
  if (id < 0) throw ToolError(kExitOutputFailure, "writing " + g_target + ": HDF5 could not " + what);
  return id;
}

hid_t StringType(size_t bytes) {
  const hid_t type = CheckId(H5Tcopy(H5T_C_S1), "make a string type");
  Check(H5Tset_size(type, std::max<size_t>(bytes, 1)), "size a string type");
  Check(H5Tset_strpad(type, H5T_STR_NULLTERM), "pad a string type");
  return type;
}

void TextAttribute(hid_t object, const char* name, const std::string& text) {
  const hid_t type = StringType(text.size() + 1);
  const hid_t space = CheckId(H5Screate(H5S_SCALAR), "make a dataspace");
  const hid_t attribute = CheckId(H5Acreate2(object, name, type, space, H5P_DEFAULT, H5P_DEFAULT), "make an attribute");
  Check(H5Awrite(attribute, type, text.c_str()), "write an attribute");
  H5Aclose(attribute);
  H5Sclose(space);
  H5Tclose(type);
}

template <typename T>
void NumberAttribute(hid_t object, const char* name, T value) {
  const hid_t type = std::is_same_v<T, double> ? H5T_NATIVE_DOUBLE : H5T_NATIVE_INT32;
  const hid_t space = CheckId(H5Screate(H5S_SCALAR), "make a dataspace");
  const hid_t attribute = CheckId(H5Acreate2(object, name, type, space, H5P_DEFAULT, H5P_DEFAULT), "make an attribute");
  Check(H5Awrite(attribute, type, &value), "write an attribute");
  H5Aclose(attribute);
  H5Sclose(space);
}

// An extendible dataset of rows x width elements of type, chunked and compressed.
hid_t ExtendibleDataset(hid_t group, const char* name, hid_t type, int32_t width, int64_t rows) {
  const int rank = width > 1 ? 2 : 1;
  const hsize_t dims[2] = {static_cast<hsize_t>(rows), static_cast<hsize_t>(width)};
  const hsize_t maxDims[2] = {H5S_UNLIMITED, static_cast<hsize_t>(width)};
  const hsize_t rowBytes = H5Tget_size(type) * static_cast<hsize_t>(std::max(width, 1));
  const hsize_t chunkRows =
      std::clamp<hsize_t>(kHdf5ChunkBytes / rowBytes, 1, std::max<hsize_t>(1, static_cast<hsize_t>(rows)));
  const hsize_t chunk[2] = {chunkRows, static_cast<hsize_t>(width)};
  const hid_t space = CheckId(H5Screate_simple(rank, dims, maxDims), "make a dataspace");
  const hid_t properties = CheckId(H5Pcreate(H5P_DATASET_CREATE), "make dataset properties");
  Check(H5Pset_chunk(properties, rank, chunk), "set a chunk size");
  Check(H5Pset_shuffle(properties), "set the shuffle filter");
  Check(H5Pset_deflate(properties, kHdf5DeflateLevel), "set deflate compression");
  // Windows end on chunk boundaries, so chunks are whole when written: they are
  // compressed and stored at once rather than kept in a cache per dataset.
  const hid_t access = CheckId(H5Pcreate(H5P_DATASET_ACCESS), "make dataset properties");
  Check(H5Pset_chunk_cache(access, 0, 0, 1.0), "set the chunk cache");
  const hid_t dataset = H5Dcreate2(group, name, type, space, H5P_DEFAULT, properties, access);
  H5Pclose(access);
  H5Pclose(properties);
  H5Sclose(space);
  return CheckId(dataset, "make a dataset");
}

void SetRows(hid_t dataset, int32_t width, int64_t rows) {
  const hsize_t size[2] = {static_cast<hsize_t>(rows), static_cast<hsize_t>(width)};
  Check(H5Dset_extent(dataset, size), "extend a dataset");
}

// Writes rows x width elements at row `at` of a dataset that holds them.
void Put(hid_t dataset, hid_t memoryType, int32_t width, int64_t at, int64_t rows, const void* data) {
  const int rank = width > 1 ? 2 : 1;
  const hid_t fileSpace = CheckId(H5Dget_space(dataset), "get a dataspace");
  const hsize_t start[2] = {static_cast<hsize_t>(at), 0};
  const hsize_t count[2] = {static_cast<hsize_t>(rows), static_cast<hsize_t>(width)};
  Check(H5Sselect_hyperslab(fileSpace, H5S_SELECT_SET, start, nullptr, count, nullptr), "select rows");
  const hid_t memorySpace = CheckId(H5Screate_simple(rank, count, nullptr), "make a dataspace");
  const herr_t status = H5Dwrite(dataset, memoryType, memorySpace, fileSpace, H5P_DEFAULT, data);
  H5Sclose(memorySpace);
  H5Sclose(fileSpace);
  Check(status, "write rows");
}

// A one-dimensional dataset of count compound records of type at name.
void WriteCompound(hid_t file, const char* name, hid_t type, const void* records, size_t count) {
  const hsize_t size = count;
  const hid_t space = CheckId(H5Screate_simple(1, &size, nullptr), "make a dataspace");
  const hid_t dataset = H5Dcreate2(file, name, type, space, H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT);
  H5Sclose(space);
  CheckId(dataset, "make a dataset of records");
  const herr_t status = count > 0 ? H5Dwrite(dataset, type, H5S_ALL, H5S_ALL, H5P_DEFAULT, records) : 0;
  H5Dclose(dataset);
  Check(status, "write a dataset of records");
}

void WriteEvents(hid_t file, const std::vector<RecordingEvent>& events) {
  const hid_t text = StringType(kEventTextBytes);
  const hid_t type = CheckId(H5Tcreate(H5T_COMPOUND, sizeof(EventRecord)), "make a compound type");
  Check(H5Tinsert(type, "type", HOFFSET(EventRecord, type), H5T_NATIVE_INT32), "build the event type");
  Check(H5Tinsert(type, "time", HOFFSET(EventRecord, time), H5T_NATIVE_DOUBLE), "build the event type");
  Check(H5Tinsert(type, "text", HOFFSET(EventRecord, text), text), "build the event type");
  std::vector<EventRecord> records(events.size());
  for (size_t i = 0; i < events.size(); ++i) {
    records[i].type = events[i].type;
    records[i].time = events[i].time;
    std::memset(records[i].text, 0, kEventTextBytes);
    std::memcpy(records[i].text, events[i].text.data(), std::min(events[i].text.size(), kEventTextBytes - 1));
  }
  WriteCompound(file, "events", type, records.data(), records.size());
  H5Tclose(type);
  H5Tclose(text);
}

void WriteRegions(hid_t file, const std::vector<Region>& regions) {
  const hid_t type = CheckId(H5Tcreate(H5T_COMPOUND, sizeof(RegionRecord)), "make a compound type");
  Check(H5Tinsert(type, "start", HOFFSET(RegionRecord, start), H5T_NATIVE_DOUBLE), "build the region type");
  Check(H5Tinsert(type, "stop", HOFFSET(RegionRecord, stop), H5T_NATIVE_DOUBLE), "build the region type");
  std::vector<RegionRecord> records;
  for (const Region& region : regions) records.push_back({region.start, region.stop});
  WriteCompound(file, "regions", type, records.data(), records.size());
  H5Tclose(type);
}

// A link name for the channel not taken yet ('/' separates groups in HDF5).
std::string GroupName(const std::string& channel, int32_t index, std::vector<std::string>& taken) {
  std::string name = channel;
  std::replace(name.begin(), name.end(), '/', '_');
  if (name.empty() || name == "." || name == "events" || name == "regions") name = "channel_" + name;
  if (std::find(taken.begin(), taken.end(), name) != taken.end()) name += "_" + std::to_string(index);
  taken.push_back(name);
  return name;
}

}  // namespace

Hdf5Sink::Hdf5Sink(std::string out) : out_(std::move(out)) { g_target = out_; }

Hdf5Sink::~Hdf5Sink() {
  CloseGroups();
  if (handle_ >= 0) H5Fclose(static_cast<hid_t>(handle_));
}

void Hdf5Sink::Begin(const ExportPlan& plan, const RecordingSummary& summary) {
  H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr);
  file_ = std::make_unique<PendingFile>(out_);
  file_->CloseStream();
  handle_ = CheckId(H5Fcreate(file_->TemporaryPath().c_str(), H5F_ACC_TRUNC, H5P_DEFAULT, H5P_DEFAULT), "create the file");
  const auto file = static_cast<hid_t>(handle_);
  TextAttribute(file, "source", summary.source);
  NumberAttribute(file, "sample_rate", summary.info.sample_rate);
  TextAttribute(file, "start_measure_time", DaysToIso8601(summary.info.start_measure_time));
  TextAttribute(file, "start_store_time", DaysToIso8601(summary.info.start_store_time));
  NumberAttribute(file, "start_measure_time_days", summary.info.start_measure_time);
  NumberAttribute(file, "start_store_time_days", summary.info.start_store_time);
  NumberAttribute(file, "duration", summary.info.duration);
  WriteEvents(file, summary.events);
  WriteRegions(file, summary.regions);
  for (const ExportTable& table : plan.tables) {
    for (const ExportColumn& column : table.columns) {
      if (column.channel->list == ChannelList::kBinary) {
        std::fprintf(stderr, "kvtool: note: hdf5 leaves out the binary channel %s\n", column.channel->name.c_str());
      }
    }
  }
}

void Hdf5Sink::BeginTable(const ExportTable& table) {
  const auto file = static_cast<hid_t>(handle_);
  written_ = 0;
  extent_ = table.rows;
  for (const ExportColumn& column : table.columns) {
    auto group = std::make_unique<Group>();
    const ChannelEntry& channel = *column.channel;
    if (channel.list == ChannelList::kBinary) {
      groups_.push_back(std::move(group));  // left out: no group
      continue;
    }
    const std::string name = GroupName(channel.name, channel.index, groupNames_);
    group->group = CheckId(H5Gcreate2(file, name.c_str(), H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT), "make a group");
    TextAttribute(group->group, "name", channel.name);
    TextAttribute(group->group, "unit", channel.unit);
    TextAttribute(group->group, "description", channel.description);
    NumberAttribute(group->group, "scale", channel.scale);
    NumberAttribute(group->group, "offset", channel.offset);
    NumberAttribute(group->group, "rate", channel.rate);
    NumberAttribute(group->group, "data_type", channel.dataType);
    NumberAttribute(group->group, "index", channel.index);
    TextAttribute(group->group, "kind", ChannelKindName(channel.kind));
    group->width = column.width;
    if (column.IsText()) {
      group->textBytes = static_cast<size_t>(std::max(channel.arraySize, 1)) + 1;
      group->memoryType = StringType(group->textBytes);
      group->values = ExtendibleDataset(group->group, "values", group->memoryType, 1, table.rows);
    } else {
      group->values = ExtendibleDataset(group->group, "values", H5T_NATIVE_DOUBLE, column.width, table.rows);
    }
    if (table.base == TableBase::kReduced) {
      TextAttribute(group->values, "columns", "min max average rms");
      NumberAttribute(group->group, "level", table.level);
    } else if (channel.list == ChannelList::kComplex) {
      TextAttribute(group->values, "columns", "re im");
    }
    group->time = ExtendibleDataset(group->group, "time", H5T_NATIVE_DOUBLE, 1, table.rows);
    TextAttribute(group->time, "unit", "s");
    groups_.push_back(std::move(group));
  }
}

void Hdf5Sink::Write(const ExportTable&, const RowWindow& rows) {
  // Datasets start at the rows the plan expects; more rows extend them.
  const bool extend = written_ + rows.rows > extent_;
  for (size_t c = 0; c < groups_.size(); ++c) {
    Group& group = *groups_[c];
    if (group.group < 0) continue;
    if (extend) {
      SetRows(group.values, group.width, written_ + rows.rows);
      SetRows(group.time, 1, written_ + rows.rows);
    }
    if (group.width == 0) {
      group.textBuffer.assign(static_cast<size_t>(rows.rows) * group.textBytes, 0);
      for (int64_t r = 0; r < rows.rows; ++r) {
        const std::string& text = (*rows.texts[c])[static_cast<size_t>(r)];
        std::memcpy(group.textBuffer.data() + static_cast<size_t>(r) * group.textBytes, text.data(),
                    std::min(text.size(), group.textBytes - 1));
      }
      Put(group.values, group.memoryType, 1, written_, rows.rows, group.textBuffer.data());
    } else {
      Put(group.values, H5T_NATIVE_DOUBLE, group.width, written_, rows.rows, rows.values[c]);
    }
    Put(group.time, H5T_NATIVE_DOUBLE, 1, written_, rows.rows, rows.time);
  }
  written_ += rows.rows;
  extent_ = std::max(extent_, written_);
}

void Hdf5Sink::EndTable(const ExportTable&) {
  // Fewer rows than planned (reduced values end where the level ends): the
  // datasets shrink to what was written.
  if (written_ < extent_) {
    for (const auto& group : groups_) {
      if (group->group < 0) continue;
      SetRows(group->values, group->width, written_);
      SetRows(group->time, 1, written_);
    }
  }
  CloseGroups();
}

void Hdf5Sink::CloseGroups() {
  for (const auto& group : groups_) {
    if (group->values >= 0) H5Dclose(group->values);
    if (group->time >= 0) H5Dclose(group->time);
    if (group->memoryType >= 0) H5Tclose(group->memoryType);
    if (group->group >= 0) H5Gclose(group->group);
  }
  groups_.clear();
}

void Hdf5Sink::Commit() {
  const herr_t status = H5Fclose(static_cast<hid_t>(handle_));
  handle_ = -1;
  Check(status, "close the file");
  file_->Commit();
}

std::vector<std::string> Hdf5Sink::Outputs() const { return {out_}; }

}  // namespace kvtool
