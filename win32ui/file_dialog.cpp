#include "win32ui/file_dialog.h"

#include "platform/win32/utf16.h"
#include "win32ui/app.h"

namespace {

constexpr std::size_t kFileNameCapacity = 32768;

}  // namespace

CFileDialog::CFileDialog(const char* defaultExtension, DWORD flags, const char* filter, CWnd* parent)
    : m_ofn(), m_szFileName(kFileNameCapacity, L'\0'), m_pParentWnd(parent) {
    if (filter != nullptr) {
        m_strFilter = Utf8ToWide(filter);
        for (wchar_t& c : m_strFilter) {
            if (c == L'|') {
                c = L'\0';
            }
        }
    }
    if (defaultExtension != nullptr) {
        m_strDefaultExtension = Utf8ToWide(defaultExtension);
    }
    m_ofn.lStructSize = sizeof m_ofn;
    m_ofn.Flags = flags | OFN_EXPLORER;
}

INT_PTR CFileDialog::DoModal() {
    CWnd* owner = m_pParentWnd != nullptr ? m_pParentWnd : AfxGetMainWnd();
    m_ofn.hwndOwner = owner != nullptr ? owner->m_hWnd : nullptr;
    m_ofn.lpstrFilter = m_strFilter.empty() ? nullptr : m_strFilter.c_str();
    m_ofn.nFilterIndex = 1;
    m_ofn.lpstrDefExt = m_strDefaultExtension.empty() ? nullptr : m_strDefaultExtension.c_str();
    m_ofn.lpstrFile = m_szFileName.data();
    m_ofn.nMaxFile = static_cast<DWORD>(m_szFileName.size());
    return GetOpenFileNameW(&m_ofn) ? IDOK : IDCANCEL;
}

std::string CFileDialog::GetPathName() const {
    return WideToUtf8(m_szFileName.data());
}

std::string CFileDialog::GetFileExt() const {
    if (m_ofn.nFileExtension == 0 || m_ofn.nFileExtension >= m_szFileName.size()) {
        return std::string();
    }
    return WideToUtf8(m_szFileName.data() + m_ofn.nFileExtension);
}
