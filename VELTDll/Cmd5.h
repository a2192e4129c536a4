// MD5 (RFC 1321). The engine digests the scan codes of a password into a
// class 2.1 passcode and builds the check value of the verification close.
#pragma once

#include <cstddef>
#include <cstdint>

class Cmd5 {
public:
    Cmd5();
    virtual ~Cmd5();
    Cmd5(const Cmd5&) = delete;
    Cmd5& operator=(const Cmd5&) = delete;

    // Initialise, update with the whole buffer, finalise; the result stays
    // readable through Digest() until the next run.
    void Digest(const void* data, std::size_t length);
    const std::uint8_t* Digest() const { return m_digest; }

    void Init();
    void Update(const void* data, std::size_t length);
    void Final();

private:
    void Transform(const std::uint8_t block[64]);

    std::uint32_t m_state[4];
    std::uint64_t m_bitCount;
    std::uint8_t m_buffer[64];
    std::uint8_t m_digest[16];
};
