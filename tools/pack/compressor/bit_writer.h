// Writes a bit stream most significant bit first, the order the decoder reads.
#pragma once

#include <cstdint>
#include <vector>

namespace pack {

class BitWriter {
 public:
  // Appends the low `count` bits of `value` (count 0 to 32), highest first.
  void Write(uint32_t value, unsigned count) {
    if (count == 0) return;
    acc_ = (acc_ << count) | (value & (count == 32 ? 0xFFFFFFFFu : ((1u << count) - 1)));
    pending_ += count;
    while (pending_ >= 8) {
      pending_ -= 8;
      out_.push_back(static_cast<uint8_t>(acc_ >> pending_));
    }
    acc_ &= (uint64_t{1} << pending_) - 1;
  }

  // Bits written so far, padding not included.
  uint64_t BitCount() const { return out_.size() * 8 + pending_; }

  // Pads the last byte with zero bits and hands over the bytes.
  std::vector<uint8_t> Finish() {
    if (pending_ > 0) Write(0, 8 - pending_);
    std::vector<uint8_t> bytes;
    bytes.swap(out_);
    acc_ = 0;
    pending_ = 0;
    return bytes;
  }

 private:
  std::vector<uint8_t> out_;
  uint64_t acc_ = 0;
  unsigned pending_ = 0;  // bits in acc_ not yet in out_, fewer than 8 between calls
};

}  // namespace pack
