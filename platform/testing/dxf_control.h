// Control interface of the stand-in's drawing files, for tests, fuzzing and
// the stand-in host: the DXF reader and writer over bytes in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "oddbdatabase.h"

namespace standin {

// Reads DXF bytes into a database made without a default drawing, with the
// statuses of readDwgFile.
OdResult ReadDxfBytes(OdDbDatabase* db, const std::string& bytes);
// The database as DXF bytes.
OdResult WriteDxfBytes(OdDbDatabase* db, std::string& bytes);

// The entry point for fuzzing the reader: reads the bytes into a new
// database and, when they were accepted, writes it out and reads that back.
// Returns the first read's status.
int FuzzReadDxf(const uint8_t* data, size_t size);

}  // namespace standin
