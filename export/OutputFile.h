// OutputFile.h
//
// OutputFile: the single-file sink, one .sql file holding every block of the run in order.
// The file that is there before the run stays untouched until the first block is written;
// that write replaces it, later ones append. The file begins with the SET lines the job's
// source needs (SqlPlusLines.h), none for source SQL*Plus reads as it is.
//
// Rendering into memory (Target::Memory), it writes nothing at all: the check before the logon
// only looks (the path must be one the export could write), and what a comparison with the
// file that is there needs is kept: the digest of the file's bytes and of each object's block,
// and each block's head (its first words name its object). No block is held: a check holds no
// more than the export would.
#pragma once

#include <string>
#include <vector>

#include "export/ContentDigest.h"
#include "export/ExportEngine.h"

class OutputFile : public ExportSink {
public:
    enum class Target { File, Memory };

    // One object's block as the file holds it (without the lines the file begins with).
    struct RenderedBlock {
        // The most bytes of a block kept for the words that name its object.
        static constexpr size_t kHeadBytes = 64 * 1024;

        ExportObjectId object;
        std::string strHead;  // its first kHeadBytes (all of a shorter block)
        ContentDigest digest;

        static RenderedBlock Of(const ExportObjectId& object, const std::string& strBytes);
    };

    explicit OutputFile(std::wstring strPath, Target target = Target::File);
    bool Check(ExportFailure& failure) override;
    void JobNeeds(const SqlPlusNeeds& needs) override { m_settings = SettingsFor(needs); }
    const SqlPlusSettings* Head() const override { return &m_settings; }
    bool Write(const ExportObjectId& object, const CString& strBlock,
               ExportFailure& failure) override;
    CString StateText() const override;
    int WrittenCount() const override { return m_nWritten; }

    // Target::Memory: the digest of the file's bytes and its blocks, as the export would write
    // them.
    ContentDigest Content() const { return m_content.Finish(); }
    const std::vector<RenderedBlock>& Blocks() const { return m_blocks; }

private:
    std::wstring m_strPath;
    Target m_target;
    ContentDigester m_content;
    std::vector<RenderedBlock> m_blocks;
    int m_nWritten = 0;
    // The first write replaced the old file but failed: the file no longer is what it was.
    bool m_bReplaced = false;
    // The file's top: its SET lines.
    SqlPlusSettings m_settings;
};
