// Buffered streams over the backends' raw handles. Text translation lives here,
// not in a C runtime, so both platforms write the same bytes.

#include "platform/platform.h"

#include <algorithm>
#include <cstring>

namespace zet::platform {

namespace {
constexpr size_t kBufferSize = 64 * 1024;

bool ParseMode(const char* mode, detail::RawMode& raw, bool& text, bool& canRead, bool& canWrite,
               bool& append) {
  if (mode == nullptr || *mode == '\0') return false;
  bool plus = std::strchr(mode, '+') != nullptr;
  // As in the C runtime on Windows: text unless "b" is given.
  text = std::strchr(mode, 'b') == nullptr;
  append = false;
  switch (mode[0]) {
    case 'r':
      raw = plus ? detail::RawMode::ReadWrite : detail::RawMode::Read;
      canRead = true;
      canWrite = plus;
      return true;
    case 'w':
      raw = plus ? detail::RawMode::ReadWriteTruncate : detail::RawMode::WriteTruncate;
      canRead = plus;
      canWrite = true;
      return true;
    case 'a':
      raw = plus ? detail::RawMode::ReadAppend : detail::RawMode::WriteAppend;
      canRead = plus;
      canWrite = true;
      append = true;
      return true;
    default:
      return false;
  }
}
}  // namespace

Stream::~Stream() { Close(); }

bool Stream::Open(const std::string& path, const char* mode) {
  Close();
  detail::RawMode raw;
  if (!ParseMode(mode, raw, text_, canRead_, canWrite_, append_)) return false;
  handle_ = detail::RawOpen(path, raw);
  if (handle_ == kNoHandle) return false;
  buffer_.assign(kBufferSize, '\0');
  begin_ = end_ = 0;
  writing_ = false;
  pendingCR_ = false;
  writeFailed_ = false;
  readFailed_ = false;
  return true;
}

bool Stream::FlushWrites() {
  if (!writing_) return true;
  writing_ = false;
  size_t done = 0;
  while (done < end_) {
    long n = detail::RawWrite(handle_, buffer_.data() + done, end_ - done);
    if (n <= 0) {
      writeFailed_ = true;
      begin_ = end_ = 0;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  begin_ = end_ = 0;
  return true;
}

bool Stream::DropReadAhead() {
  if (writing_ || begin_ == end_) {
    if (!writing_) begin_ = end_ = 0;
    return true;
  }
  int64_t back = static_cast<int64_t>(end_ - begin_) + (pendingCR_ ? 1 : 0);
  begin_ = end_ = 0;
  pendingCR_ = false;
  return detail::RawSeek(handle_, -back, 1) >= 0;
}

bool Stream::FillBuffer() {
  size_t start = 0;
  if (pendingCR_) {
    buffer_[0] = '\r';
    start = 1;
    pendingCR_ = false;
  }
  long n = detail::RawRead(handle_, buffer_.data() + start, buffer_.size() - start);
  if (n < 0) {
    readFailed_ = true;
    n = 0;
  }
  size_t got = start + static_cast<size_t>(n);
  if (text_ && got > 0) {
    size_t out = 0;
    for (size_t i = 0; i < got; ++i) {
      char c = buffer_[i];
      if (c == '\r') {
        if (i + 1 < got) {
          if (buffer_[i + 1] == '\n') continue;  // CR LF -> LF
        } else if (n > 0) {
          pendingCR_ = true;  // decide once the next byte is known
          continue;
        }
      }
      buffer_[out++] = c;
    }
    got = out;
    if (got == 0 && pendingCR_) return FillBuffer();
  }
  begin_ = 0;
  end_ = got;
  return got > 0;
}

size_t Stream::Read(void* destination, size_t n) {
  if (!IsOpen() || !canRead_) return 0;
  if (writing_ && !FlushWrites()) return 0;
  char* out = static_cast<char*>(destination);
  size_t done = 0;
  while (done < n) {
    if (begin_ == end_) {
      // Large binary reads bypass the buffer.
      if (!text_ && n - done >= buffer_.size()) {
        long r = detail::RawRead(handle_, out + done, n - done);
        if (r < 0) readFailed_ = true;
        if (r <= 0) break;
        done += static_cast<size_t>(r);
        continue;
      }
      if (!FillBuffer()) break;
    }
    size_t take = end_ - begin_;
    if (take > n - done) take = n - done;
    std::memcpy(out + done, buffer_.data() + begin_, take);
    begin_ += take;
    done += take;
  }
  return done;
}

bool Stream::Write(const void* source, size_t n) {
  if (!IsOpen() || !canWrite_) {
    writeFailed_ = true;
    return false;
  }
  if (!writing_) {
    if (!DropReadAhead()) {
      writeFailed_ = true;
      return false;
    }
    writing_ = true;
    begin_ = end_ = 0;
  }
  const char* in = static_cast<const char*>(source);
  if (!text_ && n >= buffer_.size()) {
    if (!FlushWrites()) return false;
    size_t done = 0;
    while (done < n) {
      long w = detail::RawWrite(handle_, in + done, n - done);
      if (w <= 0) {
        writeFailed_ = true;
        return false;
      }
      done += static_cast<size_t>(w);
    }
    writing_ = true;
    return true;
  }
  // A run of bytes at a time; text mode copies up to each LF and puts
  // CR LF for it, so the buffer always keeps room for the pair.
  while (n > 0) {
    if (end_ + 2 > buffer_.size()) {
      if (!FlushWrites()) return false;
      writing_ = true;
    }
    size_t take = std::min(n, buffer_.size() - end_ - (text_ ? 1 : 0));
    const char* lf = text_ ? static_cast<const char*>(std::memchr(in, '\n', take)) : nullptr;
    if (lf != nullptr) take = static_cast<size_t>(lf - in);
    std::memcpy(buffer_.data() + end_, in, take);
    end_ += take;
    if (lf != nullptr) {
      buffer_[end_++] = '\r';
      buffer_[end_++] = '\n';
      ++take;
    }
    in += take;
    n -= take;
  }
  return true;
}

bool Stream::Seek(int64_t offset, int origin) {
  if (!IsOpen()) return false;
  if (writing_) {
    if (!FlushWrites()) return false;
  } else if (origin == 1) {
    offset -= static_cast<int64_t>(end_ - begin_) + (pendingCR_ ? 1 : 0);
    begin_ = end_ = 0;
    pendingCR_ = false;
  } else {
    begin_ = end_ = 0;
    pendingCR_ = false;
  }
  return detail::RawSeek(handle_, offset, origin) >= 0;
}

int64_t Stream::Tell() {
  if (!IsOpen()) return -1;
  int64_t pos = detail::RawSeek(handle_, 0, 1);
  if (pos < 0) return -1;
  if (writing_) return pos + static_cast<int64_t>(end_);
  return pos - static_cast<int64_t>(end_ - begin_) - (pendingCR_ ? 1 : 0);
}

int64_t Stream::Length() {
  if (!IsOpen()) return -1;
  if (writing_ && !FlushWrites()) return -1;
  return detail::RawLength(handle_);
}

bool Stream::Close() {
  if (!IsOpen()) return true;
  bool ok = FlushWrites();
  if (!detail::RawClose(handle_)) ok = false;
  handle_ = kNoHandle;
  buffer_.clear();
  buffer_.shrink_to_fit();
  begin_ = end_ = 0;
  writing_ = false;
  pendingCR_ = false;
  return ok && !writeFailed_;
}

bool ReadWholeFile(const std::string& path, std::string& bytes) {
  bytes.clear();
  Stream in;
  if (!in.Open(path, "rb")) return false;
  const int64_t length = in.Length();
  if (length > 0) bytes.reserve(static_cast<size_t>(length));
  char chunk[1 << 16];
  while (size_t n = in.Read(chunk, sizeof chunk)) bytes.append(chunk, n);
  return !in.ReadFailed();
}

}  // namespace zet::platform
