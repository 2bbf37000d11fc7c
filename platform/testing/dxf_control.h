// Control interface of the stand-in's drawing files, for tests, fuzzing and
// the stand-in host: the DXF reader and writer over bytes in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "oddbdatabase.h"

namespace standin {

// Reads DXF bytes into a database made without a default drawing, with the
// statuses of readDwgFile; `why` gets the reason a file is refused.
OdResult ReadDxfBytes(OdDbDatabase* db, const std::string& bytes, std::string* why = nullptr);
// The database as DXF bytes; `losses` gets a line for each thing the file
// cannot carry (kind, handle, what is lost).
OdResult WriteDxfBytes(OdDbDatabase* db, std::string& bytes, std::vector<std::wstring>* losses = nullptr);

// Why the last readDwgFile refused its file (empty after one it read): what
// the file seems to be when it is no DXF file, the line and section where
// it cannot be read or was cut short. OPEN prints it.
const std::string& LastDxfReadError();
void SetLastDxfReadError(const std::string& why);
// The system's reason the last saveAs could not write its file ("No space
// left on device"); empty when it wrote it or refused it before writing.
const std::string& LastDxfWriteError();
// What of the file the database was read from it does not hold, one line
// each (the record, where, why); empty for a database not read from a
// file. OPEN prints it, and every save names it again.
std::vector<std::wstring> DxfNotRead(const OdDbDatabase* db);
// The code page the texts of the file the database was read from were
// read in, where the file (of a form before 2007) names none the reader
// can read, and why: "ANSI_1252 (the file names no code page; ...)".
// Empty when the file names its page, or its texts are ASCII and it names
// none. OPEN prints it.
std::wstring DxfCodePageAssumed(const OdDbDatabase* db);
// The records of the file the database was read from that it holds under
// other handles than the file gave them (a handle an earlier record has,
// one that is no handle), one line each (the record, where, why). OPEN
// prints them, and every save names them again.
std::vector<std::wstring> DxfRenumbered(const OdDbDatabase* db);
// How many they are, and the i-th of them (i below the count): a file may
// give half a million records taken handles, which need not all be lines
// at once.
size_t DxfRenumberedCount(const OdDbDatabase* db);
std::wstring DxfRenumberedSaid(const OdDbDatabase* db, size_t i);
// What the last saveAs could not carry, one line each (kind, handle, what
// is lost); SAVEAS and QSAVE print them.
std::vector<std::wstring>& LastDxfSaveLosses();
// The record of a value that is not finite that made the last saveAs
// refuse the drawing ("LINE 2F (group 11)"); empty otherwise.
std::wstring& LastDxfSaveRefusal();

// The writer's breaches of its own list of what it writes (dxf_schema.h),
// for the tests; a breach would make a saved file hold a value twice.
std::vector<std::string>& DxfWriteSchemaViolations();
// From NoteDxfKindCodes(true) on, which codes of each entity kind's
// subclasses the reader takes and the writer writes are noted (a fresh
// note each time); DxfKindCodeMismatches names, over what was read and
// written since, each code a kind lists that its reader never took or its
// writer never wrote, each one taken, written or asked for that it does
// not list. Empty when the kinds, their readers and writers agree.
void NoteDxfKindCodes(bool on);
std::vector<std::string> DxfKindCodeMismatches();
// The same for the subclasses of the tables, their records, a block's begin
// and end and the objects the database models (dxf_record_codes.h).
std::vector<std::string> DxfRecordCodeMismatches();
// Records of a type several kinds share (INSERT, POLYLINE, DIMENSION) whose
// flags would make them no kind or more than one, as "TYPE flags N: K
// kinds"; empty when each record is of exactly one.
std::vector<std::string> DxfKindFormFaults();

// The entry point for fuzzing the reader: reads the bytes into a new
// database and, when they were accepted, writes it out, reads that back and
// writes it again. Aborts when a refusal gives no reason, when the second
// save is not the first byte for byte (the first differing line and its
// neighbours go to stderr), or when the first save holds fewer records than
// the bytes did and its losses do not make up the difference. Returns the
// first read's status.
int FuzzReadDxf(const uint8_t* data, size_t size);

}  // namespace standin
