// OutputFile.h
//
// OutputFile: the single-file sink, one .sql file holding every block of the run in order.
// The file that is there before the run stays untouched until the first block is written;
// that write replaces it, later ones append. Blocks come in pieces: a later block's are
// appended as they come and cut off again when the block goes unwritten; the first block's,
// while it is not complete, wait in a file of their own beside the target that goes when it is
// closed (in memory, should the folder take no new file). The file begins with the SET lines the job's
// source needs (SqlPlusLines.h), none for source SQL*Plus reads as it is.
//
// Rendering into memory (Target::Memory), it writes nothing at all: the check before the logon
// only looks (the path must be one the export could write), and what a comparison with the
// file that is there needs is kept: the digest of the file's bytes and of each object's block,
// and each block's head (its first words name its object). No block is held: a check holds no
// more than the export would.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "export/ContentDigest.h"
#include "export/ExportEngine.h"
#include "platform/Files.h"

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
    bool WritePiece(const ExportObjectId& object, const CString& strPiece, bool bLast,
                    ExportFailure& failure) override;
    void AbandonBlock() override;
    bool Complete(ExportFailure& failure) override;
    CString StateText() const override;
    int WrittenCount() const override { return m_nWritten; }

    // Target::Memory: the digest of the file's bytes and its blocks, as the export would write
    // them.
    ContentDigest Content() const { return m_content.Finish(); }
    const std::vector<RenderedBlock>& Blocks() const { return m_blocks; }

private:
    // Rendering: the piece into the file's digest and the block's.
    void Render(const ExportObjectId& object, const CString& strPiece, bool bLast);
    // The first block's pieces before its last: kept until it is complete.
    bool Hold(const CString& strPiece, ExportFailure& failure);
    // The file replaced by the SET lines, the held pieces and the last one.
    bool WriteFirst(const CString& strLast, ExportFailure& failure);
    // The pieces held in a file of their own, to the end of file.
    bool CopyHeld(Files::File& file, SystemError& nError);
    // The first block's pieces are no longer kept.
    void DropHeld();
    // A later block's piece appended.
    bool Append(const CString& strPiece, bool bLast, ExportFailure& failure);

    std::wstring m_strPath;
    Target m_target;
    ContentDigester m_content;
    std::vector<RenderedBlock> m_blocks;
    // The block being rendered: its head and digest so far.
    std::string m_strBlockHead;
    ContentDigester m_blockDigest;
    // The first block's pieces: in a file of their own, else in memory.
    Files::File m_held;
    std::string m_strHeld;
    bool m_bHolding = false;
    // Later blocks' pieces: the file, open from the first block's write to the run's end (or a
    // block given up), where the block being appended began, and whether one is.
    Files::File m_appended;
    std::int64_t m_nBlockStart = 0;
    bool m_bAppending = false;
    int m_nWritten = 0;
    // The first write replaced the old file but failed: the file no longer is what it was.
    bool m_bReplaced = false;
    // The file's top: its SET lines.
    SqlPlusSettings m_settings;
};
