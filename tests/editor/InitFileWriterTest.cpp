#include "editor/InitFileWriter.h"

#include <gtest/gtest.h>

#include <string>

#if ! JUCE_WINDOWS
 #include <sys/stat.h>
#endif

namespace
{
std::string saved (const juce::String& text)
{
    const auto block = initfile::bytesToSave (text);
    return std::string (static_cast<const char*> (block.getData()), block.getSize());
}

class InitFileReplace : public ::testing::Test
{
protected:
    InitFileReplace() { folder.createDirectory(); }
    ~InitFileReplace() override { folder.deleteRecursively(); }

    static std::string contentOf (const juce::File& file)
    {
        juce::MemoryBlock block;
        file.loadFileAsData (block);
        return std::string (static_cast<const char*> (block.getData()), block.getSize());
    }

    static bool replace (const juce::File& file, const std::string& bytes)
    {
        return initfile::replaceFileContent (file, bytes.data(), bytes.size());
    }

    // Hidden files included, so a temporary file left behind would count.
    int numEntriesInFolder() const
    {
        return folder.getNumberOfChildFiles (juce::File::findFilesAndDirectories);
    }

    juce::File folder = juce::File::getSpecialLocation (juce::File::tempDirectory)
                            .getChildFile ("quorvel-writer-test-" + juce::Uuid().toString());
};
} // namespace

TEST (InitFileWriter, LoneLineFeedsBecomeCrLfAndOneCrLfCloses)
{
    EXPECT_EQ (saved (""), "\r\n");
    EXPECT_EQ (saved ("a\r\nb"), "a\r\nb\r\n");
    EXPECT_EQ (saved ("\na\nb\n"), "\r\na\r\nb\r\n\r\n");
    EXPECT_EQ (saved ("a\rb\r"), "a\rb\r\r\n") << "lone CRs stand as they are";
    EXPECT_EQ (saved ("a\r\r\nb"), "a\r\r\nb\r\n");
    EXPECT_EQ (saved (juce::String::fromUTF8 ("caf\xc3\xa9")), "caf\xc3\xa9\r\n") << "UTF-8, no BOM";
}

TEST_F (InitFileReplace, OnlyTheNewBytesStandInTheFile)
{
    const auto file = folder.getChildFile ("quorvel.ini");

    ASSERT_TRUE (replace (file, "first version, rather long\r\n"));
    ASSERT_TRUE (replace (file, "new\r\n"));
    EXPECT_EQ (contentOf (file), "new\r\n");

    EXPECT_EQ (numEntriesInFolder(), 1) << "no temporary file is left beside it";
}

TEST_F (InitFileReplace, AFailedReplaceLeavesEverythingAsItWas)
{
    const auto inMissingFolder = folder.getChildFile ("not-there").getChildFile ("quorvel.ini");
    EXPECT_FALSE (replace (inMissingFolder, "text\r\n"));
    EXPECT_FALSE (inMissingFolder.getParentDirectory().exists());

    const auto folderTarget = folder.getChildFile ("quorvel.ini");
    ASSERT_TRUE (folderTarget.createDirectory().wasOk());
    EXPECT_FALSE (replace (folderTarget, "text\r\n")) << "an empty folder of that name";
    EXPECT_TRUE (folderTarget.isDirectory());

    EXPECT_EQ (numEntriesInFolder(), 1) << "no temporary file is left behind";
}

#if ! JUCE_WINDOWS
TEST_F (InitFileReplace, TheTargetKeepsItsPermissionsAndALinkStaysALink)
{
    const auto file = folder.getChildFile ("quorvel.ini");
    const auto modeOf = [&file]
    {
        struct stat info;
        if (::stat (file.getFullPathName().toRawUTF8(), &info) != 0)
            return 0u;
        return (unsigned) (info.st_mode & 07777);
    };

    for (unsigned mode : { 0640u, 0755u })
    {
        ASSERT_TRUE (replace (file, "old"));
        ASSERT_EQ (::chmod (file.getFullPathName().toRawUTF8(), mode), 0);
        ASSERT_TRUE (replace (file, "new\r\n"));
        EXPECT_EQ (modeOf(), mode);
    }

    const auto link = folder.getChildFile ("link.ini");
    ASSERT_TRUE (file.createSymbolicLink (link, true));
    ASSERT_TRUE (replace (link, "through the link\r\n"));
    EXPECT_TRUE (link.isSymbolicLink());
    EXPECT_EQ (contentOf (file), "through the link\r\n");
}
#endif
