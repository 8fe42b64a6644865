#pragma once

// A per-user typed key/value store that stands in for the Windows registry where there is
// none.  Keys are backslash-separated subkey paths under a root ("HKEY_CURRENT_USER"),
// values are typed (REG_SZ strings or REG_DWORD numbers) and looked up the way the
// registry does it: names compare case-insensitively, a read asks for one type and fails
// on a value of another.
//
// The whole store is one JSON file under the user's config location.  Every write takes an
// inter-process lock, reads the file afresh, changes one value and replaces the file
// atomically, so two running instances that write different values never lose each
// other's.  A file that cannot be parsed is logged, moved aside and treated as empty.

#include <QString>

#include <cstdint>

class KvRegistryStore
{
public:
    enum class Status {
        Ok,
        NoKey,    // the subkey does not exist
        NoValue,  // the subkey exists, the value is missing or of another type
    };

    // A writer holds the lock for a few milliseconds; waiting longer means something is stuck.
    static constexpr int defaultLockTimeoutMs = 10000;

    // The store file; by default "<config>/Vantrel/Glyphora/registry.json".
    explicit KvRegistryStore(const QString& filePath = defaultFilePath(),
                             int lockTimeoutMs = defaultLockTimeoutMs);

    static QString defaultFilePath();
    QString filePath() const { return m_filePath; }

    Status readString(const QString& root, const QString& subKey, const QString& valueName,
                      QString& out) const;
    Status readDword(const QString& root, const QString& subKey, const QString& valueName,
                     std::uint32_t& out) const;
    // Both create the subkey and its parents.  They return false when the store cannot be
    // locked or written; the old file is then left as it was.
    bool writeString(const QString& root, const QString& subKey, const QString& valueName,
                     const QString& value);
    bool writeDword(const QString& root, const QString& subKey, const QString& valueName,
                    std::uint32_t value);

private:
    QString m_filePath;
    int m_lockTimeoutMs;
};
