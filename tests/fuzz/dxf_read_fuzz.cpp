// The stand-in host's DXF reader, as OPEN reads a drawing file: any bytes
// are refused with a status or read into a drawing, and a drawing read
// must write out and read back again (checked by the entry itself).
#include "dxf_control.h"
#include "fuzz_support.h"
#include "hostdb_control.h"

VELK_FUZZ_WITH_MACHINE()

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    standin::FuzzReadDxf(data, size);
    FUZZ_CHECK(standin::OpenObjectCount() == 0);
    return 0;
}
