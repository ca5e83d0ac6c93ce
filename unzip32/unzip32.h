/* The archive library's C interface. On Windows it is UNZIP32.dll, whose calls the service
   binds by ordinal (10 busy, 21 open, 22 close, 23 find first, 24 find next, 25 extract); on
   POSIX the same functions are exported by name from libunzip32.so. */
#ifndef NORVEX_UNZIP32_H
#define NORVEX_UNZIP32_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef uintptr_t ArcHandle;

/* The record that the find calls fill: 560 bytes, the entry name at byte offset 26. */
#pragma pack(push, 1)
typedef struct ArcEntryInfo {
  uint32_t original_size;    /* 0 */
  uint32_t compressed_size;  /* 4 */
  uint32_t crc;              /* 8 */
  uint32_t flags;            /* 12 */
  uint32_t os_type;          /* 16 */
  uint16_t ratio;            /* 20: per mille */
  uint16_t dos_date;         /* 22 */
  uint16_t dos_time;         /* 24 */
  char name[513];            /* 26: NUL-terminated, backslash separators */
  char reserved1[3];
  char attributes[8];
  char method[8];
  char reserved2[2];
} ArcEntryInfo;
#pragma pack(pop)

/* Results: 0 success; -1 no (further) entry; the others name a failure. */
enum {
  ARC_OK = 0,
  ARC_NO_ENTRY = -1,
  ARC_ERROR_HANDLE = 0x8001,
  ARC_ERROR_NOT_ARCHIVE = 0x8002,
  ARC_ERROR_CORRUPT = 0x8003,
  ARC_ERROR_UNSUPPORTED = 0x8004,
  ARC_ERROR_WRITE = 0x8005,
  ARC_ERROR_NAME = 0x8006,
  ARC_ERROR_NO_FIND = 0x8007
};

enum {
  ARC_OPEN_NO_SETTINGS = 0x2,
  ARC_OPEN_MAKE_FOLDERS = 0x8000,
  ARC_OPEN_OVERWRITE = 0x20000,
  ARC_OPEN_NO_PROGRESS = 0x2000000,
  ARC_EXTRACT_FOUND = 0x40000000
};

/* 1 while an archive is open in this process, else 0. */
int ArcIsBusy(void);
/* Opens an archive and reads its directory; 0 on failure. owner is not used. */
ArcHandle ArcOpen(void* owner, const char* archive_path, uint32_t mode);
int ArcClose(ArcHandle archive);
/* Finds the first file entry matching the wildcard ("*" matches every name). */
int ArcFindFirst(ArcHandle archive, const char* wildcard, ArcEntryInfo* info);
int ArcFindNext(ArcHandle archive, ArcEntryInfo* info);
/* With ARC_EXTRACT_FOUND, writes the entry of the last find call below destination_folder
   under its name, creating folders; a name that would leave the folder is refused with
   ARC_ERROR_NAME. file_name is not used in that mode. */
int ArcExtractFound(ArcHandle archive, const char* file_name, const char* destination_folder,
                    uint32_t mode);

#ifdef __cplusplus
}
#endif

#endif
