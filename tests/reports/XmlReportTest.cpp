#include "reports/XmlReport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "records/TestRecord.h"
#include "support/TempDir.h"

namespace tkan {
namespace {

std::tm WrittenAt()
{
    std::tm t{};
    t.tm_year = 2026 - 1900;
    t.tm_mon = 11;
    t.tm_mday = 10;
    t.tm_hour = 15;
    t.tm_min = 7;
    return t;
}

void FillHeader(TestRecord& r)
{
    r.header.fileName = "T7.tst-tkan";
    r.header.testDate = "Mar 04, 2026";
    r.header.testTime = "09:15 AM";
    r.header.company = "A & B <Caf\xE9>";  // Windows-1252 e-acute
    r.header.station = " Elm ";
    r.header.circuit = "F7";
    r.header.manufacturer = "Acme";
    r.header.model = "M";
    r.header.serialNumber = "42";
    r.header.operatorName = "Kim";
}

const char kInfo[] =
    "<brennixreport>\r\n"
    "\t<reportinfo>\r\n"
    "\t\t<reporttype>TKAN</reporttype>\r\n"
    "\t\t<filename>T7.tst-tkan</filename>\r\n"
    "\t\t<programversion></programversion>\r\n"
    "\t\t<reportversion>1.0</reportversion>\r\n"
    "\t\t<testdatetime>Mar 04, 2026 09:15 AM</testdatetime>\r\n"
    "\t\t<reportdatetime>Dec 10, 2026 03:07 PM</reportdatetime>\r\n"
    "\t\t<company>A &amp; B &lt;Caf\xC3\xA9&gt;</company>\r\n"
    "\t\t<station> Elm </station>\r\n"
    "\t\t<circuit>F7</circuit>\r\n"
    "\t\t<manufacturer>Acme</manufacturer>\r\n"
    "\t\t<model>M</model>\r\n"
    "\t\t<serialnumber>42</serialnumber>\r\n"
    "\t\t<operatorname>Kim</operatorname>\r\n"
    "\t</reportinfo>\r\n";

TEST(XmlReportTest, StaticTapTestWithCorrection)
{
    TestRecord r;
    FillHeader(r);
    r.testType = 18;
    r.tapsPerSide = 1;
    r.tempCorrected = true;
    r.measureTemp = 24.5;
    r.referenceTemp = 75;
    r.tempConstant = 234.5;
    r.readingCount = 2;
    r.readings[0] = {0, 1001, 2002, 0, 1200, 0, 0, " 10:11:12 "};
    r.notesText = "worn\t";
    EXPECT_EQ(XmlReportText(r, WrittenAt()), std::string(kInfo) +
                                                 "\t<tkanreport>\r\n"
                                                 "\t\t<reportdata>\r\n"
                                                 "\t\t\t<testtype>V1,V2 Static LTC Test</testtype>\r\n"
                                                 "\t\t\t<isltc>0</isltc>\r\n"
                                                 "\t\t\t<isstatic>1</isstatic>\r\n"
                                                 "\t\t\t<measuretemp>24.5 C</measuretemp>\r\n"
                                                 "\t\t\t<referencetemp>75.0 C</referencetemp>\r\n"
                                                 "\t\t\t<tempconstant>234.5</tempconstant>\r\n"
                                                 "\t\t\t<r1enabled>1</r1enabled>\r\n"
                                                 "\t\t\t<r1senabled>1</r1senabled>\r\n"
                                                 "\t\t\t<r2enabled>1</r2enabled>\r\n"
                                                 "\t\t\t<r2senabled>1</r2senabled>\r\n"
                                                 "\t\t\t<r3enabled>0</r3enabled>\r\n"
                                                 "\t\t\t<r3senabled>0</r3senabled>\r\n"
                                                 "\t\t</reportdata>\r\n"
                                                 "\t\t<test>\r\n"
                                                 "\t\t\t<testlabel> 1L</testlabel>\r\n"
                                                 "\t\t\t<time>10:11:12</time>\r\n"
                                                 "\t\t\t<r1>1.0010 m-Ohm</r1>\r\n"
                                                 "\t\t\t<r1s>1.2000 m-Ohm</r1s>\r\n"
                                                 "\t\t\t<r2>2.0020 m-Ohm</r2>\r\n"
                                                 "\t\t\t<r2s></r2s>\r\n"
                                                 "\t\t\t<notes>worn</notes>\r\n"
                                                 "\t\t</test>\r\n"
                                                 "\t\t<test>\r\n"
                                                 "\t\t\t<testlabel> N</testlabel>\r\n"
                                                 "\t\t\t<time></time>\r\n"
                                                 "\t\t\t<r1></r1>\r\n"
                                                 "\t\t\t<r1s></r1s>\r\n"
                                                 "\t\t\t<r2></r2>\r\n"
                                                 "\t\t\t<r2s></r2s>\r\n"
                                                 "\t\t\t<notes></notes>\r\n"
                                                 "\t\t</test>\r\n"
                                                 "\t</tkanreport>\r\n"
                                                 "</brennixreport>\r\n");
}

TEST(XmlReportTest, DynamicTestHasNoReadings)
{
    TestRecord r;
    FillHeader(r);
    r.testType = 5;
    r.readingCount = 3;
    r.header.operatorName = "line1\r\nline2\x01";
    EXPECT_EQ(XmlReportText(r, WrittenAt()),
              std::string(kInfo).replace(std::string(kInfo).find("Kim"), 3, "line1&#13;&#10;line2?") +
                  "\t<tkanreport>\r\n"
                  "\t\t<reportdata>\r\n"
                  "\t\t\t<testtype>LTC 1000</testtype>\r\n"
                  "\t\t\t<isltc>1</isltc>\r\n"
                  "\t\t\t<isstatic>0</isstatic>\r\n"
                  "\t\t\t<r1enabled>0</r1enabled>\r\n"
                  "\t\t\t<r1senabled>0</r1senabled>\r\n"
                  "\t\t\t<r2enabled>0</r2enabled>\r\n"
                  "\t\t\t<r2senabled>0</r2senabled>\r\n"
                  "\t\t\t<r3enabled>0</r3enabled>\r\n"
                  "\t\t\t<r3senabled>0</r3senabled>\r\n"
                  "\t\t</reportdata>\r\n"
                  "\t</tkanreport>\r\n"
                  "</brennixreport>\r\n");
}

// Every kind of report the program writes validates against the schema the
// exporter checks it with.
TEST(XmlReportTest, ReportsValidateAgainstTheSchema)
{
    if (std::system("command -v xmllint >/dev/null") != 0)
        GTEST_SKIP() << "xmllint is not installed (scripts/setup.sh)";
    test::TempDir dir;
    for (int type : {1, 2, 3, 4, 5, 9, 10, 11, 17, 18, 19}) {
        for (bool corrected : {false, true}) {
            TestRecord r;
            FillHeader(r);
            r.testType = type;
            r.tempCorrected = corrected;
            r.readingCount = 2;
            r.readings[1].r3 = 5;
            const std::string path = dir.File("r.xml");
            ASSERT_EQ(WriteXmlReport(r, path, 0), 1);
            const std::string command =
                "xmllint --noout --schema " TKAN_REPORT_DATA_DIR "/tkandata.xsd " + path + " 2>/dev/null";
            EXPECT_EQ(std::system(command.c_str()), 0) << "type " << type << " corrected " << corrected;
        }
    }
    TestRecord r;
    EXPECT_EQ(WriteXmlReport(r, dir.File("missing/r.xml"), 0), 0);
}

}  // namespace
}  // namespace tkan
