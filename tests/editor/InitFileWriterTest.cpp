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

bool replace (const juce::File& target, const std::string& bytes)
{
    return initfile::replaceFileContent (target, bytes.data(), bytes.size());
}
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

// Failures, with the target left as it was, are checked where the editor saves.
#if ! JUCE_WINDOWS
TEST (InitFileWriter, TheTargetKeepsItsPermissionsAndALinkStaysALink)
{
    const auto folder = juce::File::createTempFile ("quorvel-writer-test");
    ASSERT_TRUE (folder.createDirectory().wasOk());
    const auto file = folder.getChildFile ("quorvel.ini");

    for (unsigned mode : { 0640u, 0755u })
    {
        ASSERT_TRUE (replace (file, "old, and longer than the new text"));
        ASSERT_EQ (::chmod (file.getFullPathName().toRawUTF8(), mode), 0);
        ASSERT_TRUE (replace (file, "new\r\n"));
        EXPECT_EQ (file.loadFileAsString(), "new\r\n");

        struct stat info;
        ASSERT_EQ (::stat (file.getFullPathName().toRawUTF8(), &info), 0);
        EXPECT_EQ (info.st_mode & 07777, mode);
    }

    const auto link = folder.getChildFile ("link.ini");
    ASSERT_TRUE (file.createSymbolicLink (link, true));
    ASSERT_TRUE (replace (link, "through the link\r\n"));
    EXPECT_TRUE (link.isSymbolicLink());
    EXPECT_EQ (file.loadFileAsString(), "through the link\r\n");
    EXPECT_EQ (folder.getNumberOfChildFiles (juce::File::findFilesAndDirectories), 2) << "no temporary file left";
    folder.deleteRecursively();
}
#endif
