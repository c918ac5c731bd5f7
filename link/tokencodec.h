#ifndef TOKENCODEC_H
#define TOKENCODEC_H

// Printable tokens for short secrets kept in the unit's "db" store, in SIP
// passwords and in the program itself: Base64 of a random head, a keyed check
// and the AES-128-CBC ciphertext of the value. Buffers handed out are
// released by the caller with free().

// MD5 of the 16 key bytes followed by the data; 16, or -1 on failure.
int keyedMd5(const unsigned char* key16, const unsigned char* data, int length, unsigned char* out16);

// Token text of length bytes of value (NUL-terminated, allocated); its
// length, or -1 with nothing allocated.
int encryptToken(const char* value, int length, char** token);

// Value of a token (followed by a NUL, allocated); its length, 0 for an
// empty value, or -1 with nothing allocated.
int decryptToken(const char* token, int length, char** value);

#endif // TOKENCODEC_H
