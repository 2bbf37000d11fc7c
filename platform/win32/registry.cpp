// Registry reads over the stand-in machine's store.
#include <cwctype>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "machine_control.h"
#include "standin_control.h"
#include "windows.h"

namespace {

struct Value {
    DWORD type;
    std::vector<BYTE> data;
};

// Root and lower-case key path, e.g. "software\maker\program".
typedef std::pair<HKEY, std::wstring> KeyId;

std::map<KeyId, std::map<std::wstring, Value>>& Store()
{
    static std::map<KeyId, std::map<std::wstring, Value>> store;
    return store;
}

// Keys the user may only read (as under a restricted token).
std::set<KeyId>& ReadOnlyKeys()
{
    static std::set<KeyId> keys;
    return keys;
}

std::set<KeyId*>& OpenKeys()
{
    static std::set<KeyId*> keys;
    return keys;
}

std::wstring Lower(std::wstring s)
{
    for (wchar_t& c : s) c = (wchar_t)towlower((wint_t)c);
    return s;
}

// Drops leading, trailing and doubled backslashes.
std::wstring NormalKey(const std::wstring& key)
{
    std::wstring out;
    for (wchar_t c : Lower(key))
        if (c != L'\\' || (!out.empty() && out.back() != L'\\')) out += c;
    if (!out.empty() && out.back() == L'\\') out.pop_back();
    return out;
}

bool IsRoot(HKEY k)
{
    return k == HKEY_CLASSES_ROOT || k == HKEY_CURRENT_USER || k == HKEY_LOCAL_MACHINE || k == HKEY_USERS;
}

// The key a handle stands for; false for a handle that is neither a root nor open.
bool Resolve(HKEY k, KeyId& id)
{
    if (IsRoot(k)) { id = KeyId(k, L""); return true; }
    KeyId* open = reinterpret_cast<KeyId*>(k);
    if (!OpenKeys().count(open)) return false;
    id = *open;
    return true;
}

bool IsAtOrBelow(const KeyId& entry, const KeyId& key)
{
    return entry.first == key.first &&
           (key.second.empty() || entry.second == key.second ||
            entry.second.compare(0, key.second.size() + 1, key.second + L"\\") == 0);
}

// A key exists when it or a key below it holds values.
bool KeyExists(const KeyId& id)
{
    if (id.second.empty()) return true;
    for (auto& entry : Store())
        if (IsAtOrBelow(entry.first, id)) return true;
    return false;
}

void ResetRegistry()
{
    Store().clear();
    ReadOnlyKeys().clear();
    for (KeyId* k : OpenKeys()) delete k;
    OpenKeys().clear();
}

standin::ResetHook g_reset(&ResetRegistry);

}  // namespace

namespace standin {

void SetRegistryValue(HKEY root, const std::wstring& key, const std::wstring& name, DWORD type,
                      const std::vector<BYTE>& data)
{
    Store()[KeyId(root, NormalKey(key))][Lower(name)] = Value{type, data};
}

void SetRegistryString(HKEY root, const std::wstring& key, const std::wstring& name, const std::wstring& value)
{
    const BYTE* p = reinterpret_cast<const BYTE*>(value.c_str());
    SetRegistryValue(root, key, name, REG_SZ, std::vector<BYTE>(p, p + (value.size() + 1) * sizeof(WCHAR)));
}

void SetRegistryDword(HKEY root, const std::wstring& key, const std::wstring& name, DWORD value)
{
    const BYTE* p = reinterpret_cast<const BYTE*>(&value);
    SetRegistryValue(root, key, name, REG_DWORD, std::vector<BYTE>(p, p + sizeof value));
}

void SetRegistryKeyReadOnly(HKEY root, const std::wstring& key, bool readOnly)
{
    KeyId id(root, NormalKey(key));
    if (readOnly) ReadOnlyKeys().insert(id);
    else ReadOnlyKeys().erase(id);
}

void DeleteRegistryKey(HKEY root, const std::wstring& key)
{
    KeyId id(root, NormalKey(key));
    for (auto it = Store().begin(); it != Store().end();)
        it = IsAtOrBelow(it->first, id) ? Store().erase(it) : std::next(it);
}

}  // namespace standin

LONG RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD, REGSAM access, PHKEY result)
{
    if (!result) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    KeyId id;
    if (!Resolve(key, id)) return ERROR_INVALID_HANDLE;
    std::wstring sub = NormalKey(subKey ? subKey : L"");
    if (!sub.empty()) id.second = id.second.empty() ? sub : id.second + L"\\" + sub;
    if (!KeyExists(id)) return ERROR_FILE_NOT_FOUND;
    // Any right beyond reading is refused on a key the user may only read.
    for (const KeyId& ro : ReadOnlyKeys())
        if (IsAtOrBelow(id, ro) && (access & ~(REGSAM)KEY_READ)) return ERROR_ACCESS_DENIED;
    KeyId* open = new KeyId(id);
    OpenKeys().insert(open);
    *result = reinterpret_cast<HKEY>(open);
    return ERROR_SUCCESS;
}

LONG RegQueryValueExW(HKEY key, LPCWSTR name, LPDWORD, LPDWORD type, LPBYTE data, LPDWORD size)
{
    KeyId id;
    if (!Resolve(key, id)) return ERROR_INVALID_HANDLE;
    if (data && !size) return ERROR_INVALID_PARAMETER;
    auto k = Store().find(id);
    if (k == Store().end()) return ERROR_FILE_NOT_FOUND;
    auto v = k->second.find(Lower(name ? name : L""));
    if (v == k->second.end()) return ERROR_FILE_NOT_FOUND;
    DWORD needed = (DWORD)v->second.data.size();
    if (type) *type = v->second.type;
    if (data && *size < needed) {
        *size = needed;
        return ERROR_MORE_DATA;
    }
    if (data && needed) memcpy(data, v->second.data.data(), needed);
    if (size) *size = needed;
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key)
{
    if (IsRoot(key)) return ERROR_SUCCESS;
    KeyId* open = reinterpret_cast<KeyId*>(key);
    if (!OpenKeys().erase(open)) return ERROR_INVALID_HANDLE;
    delete open;
    return ERROR_SUCCESS;
}

namespace standin {
int OpenRegistryKeyCount() { return (int)OpenKeys().size(); }
}  // namespace standin
