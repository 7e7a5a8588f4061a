// Codes and messages of the index exception family.
#include "asyncindex/AsyncIndexLibException.h"

AsyncIndexLibException::AsyncIndexLibException(int code, const std::string& message)
    : std::runtime_error(message), code_(code) {}

AsyncIndexLibException::~AsyncIndexLibException() = default;

DuplicateChannelIndexException::DuplicateChannelIndexException()
    : AsyncIndexLibException(-2, "Duplicate channel index") {}

InvalidStateException::InvalidStateException() : AsyncIndexLibException(-4, "Invalid state") {}

CursorEofException::CursorEofException() : AsyncIndexLibException(-5, "Cursor beyond EOF") {}

TooMuchDataException::TooMuchDataException() : AsyncIndexLibException(-6, "Too much data") {}

ConfigurationFailedException::ConfigurationFailedException()
    : AsyncIndexLibException(-8, "Configuration failed") {}

ChannelNotFoundException::ChannelNotFoundException()
    : AsyncIndexLibException(-9, "Channel not found") {}

StreamException::StreamException() : AsyncIndexLibException(-1, "Stream read failed") {}

CorruptIndexException::CorruptIndexException() : AsyncIndexLibException(-10, "Corrupt index") {}
