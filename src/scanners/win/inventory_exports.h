/* The inventory export interface: plain C functions that other programs call
 * on the agent's binary (loaded as a library, each function found by name).
 * Calling convention cdecl; names exported undecorated. Memory that crosses
 * the interface is the COM task allocator's (CoTaskMemAlloc and
 * CoTaskMemFree) on both sides: a string passed in is the callee's to
 * release, a string handed back is the caller's. Each product function reads
 * the installed products afresh and keeps nothing between calls. */
#ifndef VARNEL_INVENTORY_EXPORTS_H
#define VARNEL_INVENTORY_EXPORTS_H

#include <wchar.h>

#ifdef __cplusplus
extern "C" {
#endif

#ifdef VARNEL_INVENTORY_EXPORTS
#define VARNEL_INVENTORY_API __declspec(dllexport)
#else
#define VARNEL_INVENTORY_API
#endif

/* One installed product: UTF-16 strings, each null when the value is empty. */
typedef struct VN_ProductInfo {
    wchar_t* key;       /* product key: uninstall subkey name or installer product code */
    wchar_t* name;      /* product name */
    wchar_t* signature; /* identity text, fields joined by bars */
    wchar_t* hash;      /* digest of the signature: 32 lower-case hexadecimal digits */
} VN_ProductInfo;

/* A pair of 8-bit strings (structure-passing test only). */
typedef struct VN_NamePair {
    char* first;
    char* last;
} VN_NamePair;

/* The number of installed products. */
VARNEL_INVENTORY_API int __cdecl AllProductsCount(void);
/* Fills up to `count` entries with product keys (the caller frees each); an
 * entry filled is first released, entries beyond the products stay as they were. */
VARNEL_INVENTORY_API void __cdecl AllProductKeys(wchar_t** keys, int count);
/* Fills up to `count` records and answers how many. Pass records whose
 * fields are null: fields are overwritten, not released. The caller frees
 * every field. */
VARNEL_INVENTORY_API int __cdecl AllProductInfo(VN_ProductInfo* records, int count);
/* `record->key` set (exact letter case): 1 and name, signature and hash
 * filled (pass them null); else 0, the key string released and
 * `record->key` set to null. */
VARNEL_INVENTORY_API int __cdecl ProductInfoByKey(VN_ProductInfo* record);
/* Each releases its argument and answers a new 257-byte block: at most 256
 * characters and a terminator; null when memory ran out. */
VARNEL_INVENTORY_API char* __cdecl OrgToChangedUninstallString(char* commandLine);
VARNEL_INVENTORY_API char* __cdecl TestProString(char* text);
VARNEL_INVENTORY_API char* __cdecl TestString2(char* text);
/* Sums the lengths; each string is replaced by a new "123456789". */
VARNEL_INVENTORY_API int __cdecl TestArrayOfStrings(char** strings, int count);
/* Sums the lengths of all first and last strings; each last string is
 * replaced by "last:" followed by its old text. */
VARNEL_INVENTORY_API int __cdecl TestArrayOfStructs2(VN_NamePair* pairs, int count);

#ifdef __cplusplus
}
#endif

#endif
