#pragma once

// Helpers shared by the Windows tests (loader and host): temporary folders, files, environment
// variables and text conversion, each undone by its owner; files and text through the standard
// library.

#include <optional>
#include <string>
#include <vector>

#include <windows.h>

namespace win32_test {

// Sets (or, with no value, removes) an environment variable for this process and the programs
// it starts; restores the old state on destruction.
class ScopedVariable {
public:
    ScopedVariable(const wchar_t* name, std::optional<std::wstring> value);
    ~ScopedVariable();
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    std::wstring name;
    std::optional<std::wstring> previous;
};

// A fresh folder under the temporary folder, deleted with everything in it on destruction.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::wstring& path() const { return root; }
    std::wstring operator/(const std::wstring& name) const { return root + L"\\" + name; }

private:
    std::wstring root;
};

// Deletes a folder with everything in it, or a file.
void delete_tree(const std::wstring& path);

// Replaces the file's content.
void write_file(const std::wstring& path, const std::string& content);
// The whole file; empty when it cannot be read. Files other programs are still writing can be
// read too (the C runtime opens them shared).
std::string read_text(const std::wstring& path);
std::vector<std::string> read_lines(const std::wstring& path);

std::string utf8(const std::wstring& text);
std::wstring wide(const std::string& text);

}  // namespace win32_test
