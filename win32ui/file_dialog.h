#pragma once

#include <windows.h>

#include <commdlg.h>

#include <string>
#include <vector>

class CWnd;

// The system's open-file dialog, with no file name filled in. `filter` is written as "Name|patterns|Name|patterns||";
// the first entry is preselected. `parent` owns the dialog, so it is modal to it; by default the application's main
// window. A dialog opened over the main window passes itself: the file dialog disables its owner while it is open and
// enables it again when it closes, which must not happen to a main window that a modal dialog keeps disabled.
class CFileDialog {
  public:
    explicit CFileDialog(const char* defaultExtension = nullptr,
                         DWORD flags = 0,
                         const char* filter = nullptr,
                         CWnd* parent = nullptr);

    // IDOK when the user chose a file, IDCANCEL otherwise.
    INT_PTR DoModal();
    // The chosen file's full path, and its extension without the dot (empty when it has none), in UTF-8.
    std::string GetPathName() const;
    std::string GetFileExt() const;

    OPENFILENAMEW m_ofn;

  private:
    std::wstring m_strFilter;
    std::wstring m_strDefaultExtension;
    // Large enough for any path the system accepts, so a long one is never refused for our buffer's sake.
    std::vector<wchar_t> m_szFileName;
    CWnd* m_pParentWnd;
};
