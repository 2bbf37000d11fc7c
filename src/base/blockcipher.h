// Buffer cipher: a 64-bit block cipher with a 128-bit key (the IDEA cipher
// cut down to 4 rounds) in cipher feedback mode, with a fixed byte
// whitening around it. Keys always come from the caller.
#pragma once

#include <cstdint>

struct CfbCipherContext
{
    uint8_t previous[8];   // the register before its last encryption
    uint8_t feedback[8];
    uint16_t subkeys[28];
    int32_t left;          // keystream bytes still unused at the register's end
};

// Encrypts or decrypts `length` bytes (in place when input == output).
void CfbCipherBuffer(const uint8_t key[16], const uint8_t* input, uint8_t* output, uint32_t length,
                     bool encrypt);
// As CfbCipherBuffer, with the MD5 digest of the plain bytes stored in the
// clear behind the ciphertext (the output holds length + 16 bytes). On
// decryption `length` includes the 16 digest bytes; the result is 1 when the
// decrypted bytes match their digest, else 0.
// The digest is unkeyed: it detects corruption, not tampering, and it
// reveals the digest of the plain text.
int32_t CfbCipherWithTag(const uint8_t key[16], const uint8_t* input, uint8_t* output, uint32_t length,
                         bool encrypt);

void CfbInit(CfbCipherContext* context, const uint8_t key[16]);
// Null starts from zeros.
void CfbSetIv(CfbCipherContext* context, const uint8_t* iv);
// Makes the next byte start a new block: the unused keystream is dropped
// and the register holds the last 8 bytes of ciphertext.
void CfbSync(CfbCipherContext* context);
void CfbWipe(CfbCipherContext* context);
// The key as eight big-endian words, then groups of eight from the key
// rotated left by 25 bits each time; 28 subkeys.
void CfbExpandKey(const uint8_t key[16], uint16_t subkeys[28]);
void CfbEncryptBlock(const uint8_t in[8], uint8_t out[8], const uint16_t subkeys[28]);
// Pieces of one stream may be passed in several calls.
void CfbEncrypt(CfbCipherContext* context, const uint8_t* input, uint8_t* output, uint32_t length);
void CfbDecrypt(CfbCipherContext* context, const uint8_t* input, uint8_t* output, uint32_t length);
