// The description-file format registry as a program sees it: the rows of
// every format are there although nothing in the program names them.
#include "core/candb_file_format.h"
#include "core/candb_file_io.h"
#include "core/candb_network.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(CANdbFileFormat, RegistryHoldsItsRowsInOrder)
{
    struct Row {
        std::string name, extension, description, long_description;
        int flags;
    };
    std::vector<Row> rows;
    for (const CANdbFileFormat *f = CANdbFileFormat::first(); f; f = f->next())
        rows.push_back({f->name(), f->extension(), f->description(), f->long_description(), f->flags()});
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].name, "DBC");
    EXPECT_EQ(rows[0].extension, "dbc");
    EXPECT_EQ(rows[0].description, "Vector compatible DBC files");
    EXPECT_EQ(rows[0].long_description, "Description of CAN network traffic in DBC format");
    EXPECT_EQ(rows[0].flags, 3);
    EXPECT_EQ(rows[1].name, "LDF");
    EXPECT_EQ(rows[1].extension, "ldf");
    EXPECT_EQ(rows[1].description, "LIN Description File");
    EXPECT_EQ(rows[1].long_description, "Description of LIN network traffic in LDF format");
    EXPECT_EQ(rows[1].flags, 1);
    EXPECT_EQ(rows[2].name, "FIBEX");
    EXPECT_EQ(rows[2].extension, "fibex");
    EXPECT_EQ(rows[2].description, "Fibex Files");
    EXPECT_EQ(rows[2].long_description, "Description of CAN network traffic in Fibex format");
    EXPECT_EQ(rows[2].flags, 1);
    for (const Row &row : rows)
        EXPECT_NE(CANdbFileFormat::find_by_name(row.name.c_str())->factory(), nullptr) << row.name;
}

TEST(CANdbFileFormat, LookupsByExtensionIgnoreCaseAndByNameDoNot)
{
    EXPECT_STREQ(CANdbFileFormat::find_by_extension("DBC")->name(), "DBC");
    EXPECT_STREQ(CANdbFileFormat::find_by_extension("Ldf")->name(), "LDF");
    EXPECT_STREQ(CANdbFileFormat::find_by_extension("fibex")->name(), "FIBEX");
    EXPECT_EQ(CANdbFileFormat::find_by_extension("db"), nullptr);
    EXPECT_EQ(CANdbFileFormat::find_by_extension("dbcx"), nullptr);
    EXPECT_EQ(CANdbFileFormat::find_by_extension(nullptr), nullptr);
    EXPECT_EQ(CANdbFileFormat::find_by_name("dbc"), nullptr);
    EXPECT_EQ(CANdbFileFormat::find_by_name(nullptr), nullptr);
    EXPECT_EQ(CANdbFileFormat::create_io("dbc"), nullptr);
    EXPECT_EQ(CANdbFileFormat::create_io(nullptr), nullptr);
}

TEST(CANdbFileFormat, CreateIoRemembersItsFormat)
{
    for (const char *name : {"DBC", "LDF", "FIBEX"}) {
        std::unique_ptr<CANdbFileIo> io = CANdbFileFormat::create_io(name);
        ASSERT_NE(io, nullptr) << name;
        EXPECT_EQ(io->format(), CANdbFileFormat::find_by_name(name));
        EXPECT_EQ(io->file_name(), nullptr);
        EXPECT_EQ(io->line_number(), 1);
    }
}

} // namespace
