#include "platform/forwarding_file_system.h"

Status ForwardingReadableFile::Close() {
    return m_target->Close();
}

Status ForwardingReadableFile::Identify(FileIdentity* identity) {
    return m_target->Identify(identity);
}

Status ForwardingReadableFile::RenameTo(const std::string& to, bool replace) {
    return m_target->RenameTo(to, replace);
}

Status ForwardingReadableFile::Read(char* buffer, std::size_t capacity, std::size_t* got) {
    return m_target->Read(buffer, capacity, got);
}

Status ForwardingReadableFile::Rewind() {
    return m_target->Rewind();
}

Status ForwardingWritableFile::Close() {
    return m_target->Close();
}

Status ForwardingWritableFile::Identify(FileIdentity* identity) {
    return m_target->Identify(identity);
}

Status ForwardingWritableFile::RenameTo(const std::string& to, bool replace) {
    return m_target->RenameTo(to, replace);
}

Status ForwardingWritableFile::Append(const char* data, std::size_t size) {
    return m_target->Append(data, size);
}

Status ForwardingWritableFile::Sync() {
    return m_target->Sync();
}

void ForwardingWritableFile::CopyAccess(const FileAccess& access) {
    m_target->CopyAccess(access);
}

Status ForwardingFileSystem::OpenForReading(const std::string& path, std::unique_ptr<ReadableFile>* file) {
    return m_target.OpenForReading(path, file);
}

Status ForwardingFileSystem::OpenForReadingNoFollow(const std::string& path, std::unique_ptr<ReadableFile>* file) {
    return m_target.OpenForReadingNoFollow(path, file);
}

Status ForwardingFileSystem::CreateNew(const std::string& path, std::unique_ptr<WritableFile>* file) {
    return m_target.CreateNew(path, file);
}

bool ForwardingFileSystem::Exists(const std::string& path) {
    return m_target.Exists(path);
}

Status ForwardingFileSystem::Remove(const std::string& path) {
    return m_target.Remove(path);
}

Status ForwardingFileSystem::Identify(const std::string& path, FileIdentity* identity) {
    return m_target.Identify(path, identity);
}

Status ForwardingFileSystem::ResolveLinks(const std::string& path, std::string* target) {
    return m_target.ResolveLinks(path, target);
}

Status ForwardingFileSystem::SyncDirectory(const std::string& path) {
    return m_target.SyncDirectory(path);
}

bool ForwardingFileSystem::IsHeld(const std::string& path) {
    return m_target.IsHeld(path);
}

Status ForwardingFileSystem::CheckUsableName(const std::string& path) {
    return m_target.CheckUsableName(path);
}
