#include "FileManagerExtensions.h"

#include "TempDir.h"

#include <cstdlib>

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

using namespace orvanta;

namespace {

bool isDirectory(const std::string& path)
{
    struct stat st
    {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Sets an environment variable for one test and restores it afterwards.
class ScopedEnv
{
public:
    ScopedEnv(const char* name, const char* value) : m_name(name)
    {
        if (const char* old = std::getenv(name))
            m_old = old;
        value ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~ScopedEnv() { m_old ? ::setenv(m_name, m_old->c_str(), 1) : ::unsetenv(m_name); }

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

} // namespace

TEST(FileManagerExtensionsTest, CreatesEveryMissingFolderAlongAPath)
{
    test::TempDir dir;
    EXPECT_TRUE(createDirectoriesAtPath(dir.file("a/b//c/"), 0700));
    EXPECT_TRUE(isDirectory(dir.file("a/b/c")));
    struct stat st
    {};
    ::stat(dir.file("a/b").c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_TRUE(createDirectoriesAtPath(dir.file("a/b/c"))) << "existing folders succeed";
    EXPECT_FALSE(createDirectoriesAtPath(""));
}

TEST(FileManagerExtensionsTest, StopsAtAFileInThePath)
{
    test::TempDir dir;
    test::writeFile(dir.file("file"), "x");
    EXPECT_FALSE(createDirectoriesAtPath(dir.file("file/below/deeper")));
    EXPECT_FALSE(test::fileExists(dir.file("file/below")));
    EXPECT_FALSE(createDirectoriesAtPath(dir.file("file")));
}

TEST(FileManagerExtensionsTest, MapsSystemFoldersToTheXdgLocations)
{
    {
        ScopedEnv data("XDG_DATA_HOME", "/data/home");
        EXPECT_EQ(findSystemFolderType(kApplicationSupportFolderType, FolderDomain::User),
                  "/data/home");
    }
    {
        ScopedEnv data("XDG_DATA_HOME", "relative/is/ignored");
        ScopedEnv home("HOME", "/home/someone");
        EXPECT_EQ(findSystemFolderType(kApplicationSupportFolderType, FolderDomain::User),
                  "/home/someone/.local/share");
    }
    {
        ScopedEnv data("XDG_DATA_HOME", nullptr);
        ScopedEnv home("HOME", nullptr);
        EXPECT_FALSE(findSystemFolderType(kApplicationSupportFolderType, FolderDomain::User));
    }
    EXPECT_EQ(findSystemFolderType(kApplicationSupportFolderType, FolderDomain::System),
              "/usr/share");
    EXPECT_FALSE(findSystemFolderType(kApplicationSupportFolderType, FolderDomain::Network));
    {
        ScopedEnv runtime("XDG_RUNTIME_DIR", "/run/user/1000");
        EXPECT_EQ(findSystemFolderType(kTemporaryFolderType, FolderDomain::User), "/run/user/1000");
    }
    {
        ScopedEnv runtime("XDG_RUNTIME_DIR", nullptr);
        ScopedEnv tmp("TMPDIR", "/scratch");
        EXPECT_EQ(findSystemFolderType(kTemporaryFolderType, FolderDomain::User),
                  "/scratch/orvanta-" + std::to_string(::getuid()));
    }
    EXPECT_FALSE(findSystemFolderType(fourCharCode("xxxx"), FolderDomain::User));
}

TEST(FileManagerExtensionsTest, ReferencesASymbolicLinkItselfNotItsTarget)
{
    test::TempDir dir;
    test::writeFile(dir.file("target.mp3"), "audio");
    ASSERT_EQ(::symlink(dir.file("target.mp3").c_str(), dir.file("link.mp3").c_str()), 0);
    ASSERT_EQ(::symlink(dir.file("gone").c_str(), dir.file("dangling").c_str()), 0);

    FileReference target, link, dangling;
    EXPECT_EQ(getFSRef(target, dir.file("target.mp3")), kNoErr);
    EXPECT_EQ(getFSRef(link, dir.file("link.mp3")), kNoErr);
    EXPECT_NE(link.inode, target.inode);
    EXPECT_EQ(link.device, target.device);
    EXPECT_EQ(getFSRef(dangling, dir.file("dangling")), kNoErr);

    FileReference missing;
    EXPECT_EQ(getFSRef(missing, dir.file("missing")), kFileNotFoundErr);
    EXPECT_EQ(getFSRef(missing, dir.path() + "/"), kFileNotFoundErr);
    EXPECT_EQ(getFSRef(missing, ""), kFileNotFoundErr);
}
