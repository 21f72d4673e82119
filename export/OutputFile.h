// OutputFile.h
//
// OutputFile: the single-file sink, one .sql file holding every block of the run in order.
// The file that is there before the run stays untouched until the first block is written;
// that write replaces it, later ones append. The file begins with the SET lines the job's
// source needs (SqlPlusLines.h), none for source SQL*Plus reads as it is.
#pragma once

#include <string>

#include "export/ExportEngine.h"

class OutputFile : public ExportSink {
public:
    explicit OutputFile(std::wstring strPath);
    bool Check(ExportFailure& failure) override;
    void JobNeeds(const SqlPlusNeeds& needs) override
    {
        m_strSetLines = SettingsFor(needs).strLines;
    }
    bool Write(const ExportObjectId& object, const CString& strBlock,
               ExportFailure& failure) override;
    CString StateText() const override;
    int WrittenCount() const override { return m_nWritten; }

private:
    std::wstring m_strPath;
    int m_nWritten = 0;
    // The first write replaced the old file but failed: the file no longer is what it was.
    bool m_bReplaced = false;
    CString m_strSetLines;
};
