#include "disk_audio.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>

std::vector<std::string> disk_audio_env(const std::string& file) {
  // The driver paces itself to real time by default: the recording is what a
  // listener would have heard, no faster.
  return {"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + file};
}

void use_disk_audio(const std::string& file) {
  for (const std::string& e : disk_audio_env(file)) {
    size_t eq = e.find('=');
    setenv(e.substr(0, eq).c_str(), e.substr(eq + 1).c_str(), 1);
  }
}

std::vector<float> read_disk_audio(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<float> samples(bytes.size() / sizeof(float));
  memcpy(samples.data(), bytes.data(), samples.size() * sizeof(float));
  return samples;
}

size_t first_sound_frame(const std::vector<float>& samples, unsigned channels, float threshold) {
  for (size_t i = 0; i < samples.size(); i++)
    if (std::fabs(samples[i]) > threshold)
      return i / channels;
  return std::string::npos;
}

float largest_difference(const std::vector<float>& recorded, size_t at, const std::vector<float>& rendered,
                         unsigned channels) {
  if (recorded.size() < at * channels + rendered.size())
    return std::numeric_limits<float>::infinity();
  float worst = 0;
  for (size_t i = 0; i < rendered.size(); i++)
    worst = std::fmax(worst, std::fabs(recorded[at * channels + i] - rendered[i]));
  return worst;
}

std::vector<unsigned char> wav_file(const std::vector<short>& samples, unsigned rate) {
  std::vector<unsigned char> out;
  auto put = [&](const void* p, size_t n) { out.insert(out.end(), (const unsigned char*)p, (const unsigned char*)p + n); };
  auto u32 = [&](uint32_t v) { put(&v, 4); };
  auto u16 = [&](uint16_t v) { put(&v, 2); };
  uint32_t data_bytes = (uint32_t)(samples.size() * 2);
  put("RIFF", 4);
  u32(36 + data_bytes);
  put("WAVEfmt ", 8);
  u32(16);
  u16(1);  // PCM
  u16(1);  // mono
  u32(rate);
  u32(rate * 2);
  u16(2);
  u16(16);
  put("data", 4);
  u32(data_bytes);
  put(samples.data(), data_bytes);
  return out;
}
