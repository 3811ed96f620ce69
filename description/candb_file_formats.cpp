// The rows of the description-file format registry, in their fixed order.
// This library is linked whole into every program, so the rows are there
// before main() runs.
#include "core/candb_file_format.h"
#include "core/candb_file_io.h"
#include "description/dbc/dbc_file_io.h"

namespace {

// Stands in for a format whose reader is not built yet (LDF, FIBEX): reading
// and writing answer -1, which the loading interface reports with the
// format's name.
class CANdbFileIoUnavailable : public CANdbFileIo {
public:
    int read(CANdbNetwork *) override { return -1; }
    int write(CANdbNetwork *) override { return -1; }
};

CANdbFileIo *create_unavailable()
{
    return new CANdbFileIoUnavailable;
}

CANdbFileIo *create_dbc()
{
    return new DbcFileIo;
}

CANdbFileFormat dbc_format("DBC", "Vector compatible DBC files", "Description of CAN network traffic in DBC format", "dbc",
                           CANdbFileFormat::kRead | CANdbFileFormat::kWrite, create_dbc);
CANdbFileFormat ldf_format("LDF", "LIN Description File", "Description of LIN network traffic in LDF format", "ldf",
                           CANdbFileFormat::kRead, create_unavailable);
CANdbFileFormat fibex_format("FIBEX", "Fibex Files", "Description of CAN network traffic in Fibex format", "fibex",
                             CANdbFileFormat::kRead, create_unavailable);

} // namespace
