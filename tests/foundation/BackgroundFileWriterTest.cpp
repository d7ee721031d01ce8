#include "BackgroundFileWriter.h"

#include "TempDir.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

using namespace orvanta;

TEST(BackgroundFileWriterTest, TheNewestBytesReachTheDiscAndBurstsCoalesce)
{
    test::TempDir dir;
    const std::string path = dir.file("library");
    {
        BackgroundFileWriter writer(path, 0600);
        for (int i = 0; i < 200; ++i)
            writer.write("version " + std::to_string(i));
        writer.flush();
        EXPECT_EQ(test::readFile(path), "version 199");
        EXPECT_LT(writer.completedWrites(), 200u) << "waiting writes were replaced";
        struct stat info
        {};
        ASSERT_EQ(::stat(path.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0600u);
        writer.write("last words");
    } // the destructor writes what is waiting
    EXPECT_EQ(test::readFile(path), "last words");
}

TEST(BackgroundFileWriterTest, AFailedWriteIsReportedAndLeavesTheOldFile)
{
    test::TempDir dir;
    std::string error;
    {
        BackgroundFileWriter writer(dir.file("missing/folder/file"), 0600,
                                    [&error](const std::string& why) { error = why; });
        writer.write("bytes");
        writer.flush();
        EXPECT_EQ(writer.completedWrites(), 0u);
    }
    EXPECT_FALSE(error.empty());
}
