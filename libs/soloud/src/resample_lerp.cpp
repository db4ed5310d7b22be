// The interpolation loop four frames at a time. Gathering the two source frames of
// each output frame is what costs: where the processor has byte shuffles and the four
// frames lie within five source frames (a step of at most 1, which every sample
// slower than the output has), both sets come from two loads; elsewhere they are
// picked one by one. Steps of a whole four-frame stride (the game's 22,050 Hz sounds)
// pick the same way every time.
#include "resample_lerp.h"

#include <emmintrin.h>
#include <tmmintrin.h>

namespace SoLoud
{
	namespace
	{
		const float FRACTION_SCALE = 1.0f / 16777216.0f; // 24-bit fractions

		float lerp_one(const float *aIn, uint64_t aPos)
		{
			unsigned int j = (unsigned int)(aPos >> 32);
			float t = (float)((uint32_t)aPos >> 8) * FRACTION_SCALE;
			float a = aIn[j];
			return a + (aIn[j + 1] - a) * t;
		}

		// Four positions in two pairs of 64-bit lanes.
		struct Positions
		{
			__m128i p01, p23, step4;

			Positions(uint64_t aStart, uint64_t aStep)
			{
				p01 = _mm_set_epi64x((long long)(aStart + aStep), (long long)aStart);
				p23 = _mm_add_epi64(p01, _mm_set1_epi64x((long long)(2 * aStep)));
				step4 = _mm_set1_epi64x((long long)(4 * aStep));
			}
			// The four integer parts (the high halves).
			__m128i whole() const
			{
				return _mm_castps_si128(
				    _mm_shuffle_ps(_mm_castsi128_ps(p01), _mm_castsi128_ps(p23), _MM_SHUFFLE(3, 1, 3, 1)));
			}
			// The four blend weights (the low halves, kept to 24 bits).
			__m128 weights() const
			{
				__m128i low = _mm_castps_si128(
				    _mm_shuffle_ps(_mm_castsi128_ps(p01), _mm_castsi128_ps(p23), _MM_SHUFFLE(2, 0, 2, 0)));
				return _mm_mul_ps(_mm_cvtepi32_ps(_mm_srli_epi32(low, 8)), _mm_set1_ps(FRACTION_SCALE));
			}
			void advance()
			{
				p01 = _mm_add_epi64(p01, step4);
				p23 = _mm_add_epi64(p23, step4);
			}
		};

		__m128 blend(__m128 aA, __m128 aB, __m128 aT) { return _mm_add_ps(aA, _mm_mul_ps(_mm_sub_ps(aB, aA), aT)); }

		unsigned int lerp_gathered(const float *aIn, float *aOut, unsigned int aCount, uint64_t aStart, uint64_t aStep)
		{
			Positions pos(aStart, aStep);
			unsigned int k = 0;
			for (; k + 4 <= aCount; k += 4, pos.advance())
			{
				alignas(16) uint32_t j[4];
				_mm_store_si128((__m128i *)j, pos.whole());
				__m128 a = _mm_setr_ps(aIn[j[0]], aIn[j[1]], aIn[j[2]], aIn[j[3]]);
				__m128 b = _mm_setr_ps(aIn[j[0] + 1], aIn[j[1] + 1], aIn[j[2] + 1], aIn[j[3] + 1]);
				_mm_storeu_ps(aOut + k, blend(a, b, pos.weights()));
			}
			return k;
		}

		// Four frames whose sources all lie in aIn[j0 .. j0 + 4] (a step of at most 1):
		// frames j0..j0+3 and j0+1..j0+4 are loaded whole and each lane picks its own.
		// Stops where that window would pass aInCount.
		__attribute__((target("ssse3"))) unsigned int lerp_shuffled(const float *aIn, unsigned int aInCount,
		                                                            float *aOut, unsigned int aCount, uint64_t aStart,
		                                                            uint64_t aStep)
		{
			Positions pos(aStart, aStep);
			const __m128i laneBytes = _mm_setr_epi8(0, 0, 0, 0, 4, 4, 4, 4, 8, 8, 8, 8, 12, 12, 12, 12);
			const __m128i byteOfFloat = _mm_set1_epi32(0x03020100);
			uint64_t first = aStart; // the position of lane 0, kept apart to address the loads
			unsigned int k = 0;
			for (; k + 4 <= aCount; k += 4, pos.advance(), first += 4 * aStep)
			{
				unsigned int j0 = (unsigned int)(first >> 32);
				if (j0 + 5 > aInCount)
					break;
				__m128i j = pos.whole();
				// Byte k of each lane: 4 * (j - j0) + k.
				__m128i offsets = _mm_slli_epi32(_mm_sub_epi32(j, _mm_set1_epi32((int)j0)), 2);
				__m128i pick = _mm_add_epi8(_mm_shuffle_epi8(offsets, laneBytes), byteOfFloat);
				__m128 a = _mm_castsi128_ps(_mm_shuffle_epi8(_mm_castps_si128(_mm_loadu_ps(aIn + j0)), pick));
				__m128 b = _mm_castsi128_ps(_mm_shuffle_epi8(_mm_castps_si128(_mm_loadu_ps(aIn + j0 + 1)), pick));
				_mm_storeu_ps(aOut + k, blend(a, b, pos.weights()));
			}
			return k;
		}

		// The same, for steps whose four-frame stride is a whole number of source frames
		// (0.5, 0.25, 0.75: every rate that divides the output rate by 2 or 4): each group
		// of four picks the same lanes with the same weights, so both are made once.
		__attribute__((target("ssse3"))) unsigned int lerp_periodic(const float *aIn, unsigned int aInCount,
		                                                            float *aOut, unsigned int aCount, uint64_t aStart,
		                                                            uint64_t aStep)
		{
			Positions pos(aStart, aStep);
			const __m128i laneBytes = _mm_setr_epi8(0, 0, 0, 0, 4, 4, 4, 4, 8, 8, 8, 8, 12, 12, 12, 12);
			unsigned int j0 = (unsigned int)(aStart >> 32);
			__m128i offsets = _mm_slli_epi32(_mm_sub_epi32(pos.whole(), _mm_set1_epi32((int)j0)), 2);
			const __m128i pick = _mm_add_epi8(_mm_shuffle_epi8(offsets, laneBytes), _mm_set1_epi32(0x03020100));
			const __m128 t = pos.weights();
			const unsigned int stride = (unsigned int)((4 * aStep) >> 32);
			unsigned int k = 0;
			for (; k + 4 <= aCount && j0 + 5 <= aInCount; k += 4, j0 += stride)
			{
				__m128 a = _mm_castsi128_ps(_mm_shuffle_epi8(_mm_castps_si128(_mm_loadu_ps(aIn + j0)), pick));
				__m128 b = _mm_castsi128_ps(_mm_shuffle_epi8(_mm_castps_si128(_mm_loadu_ps(aIn + j0 + 1)), pick));
				_mm_storeu_ps(aOut + k, blend(a, b, t));
			}
			return k;
		}

		bool has_byte_shuffles()
		{
			static const bool has = (__builtin_cpu_init(), __builtin_cpu_supports("ssse3"));
			return has;
		}
	}

	void lerp_channel(const float *aIn, unsigned int aInCount, float *aOut, unsigned int aCount, uint64_t aStart,
	                  uint64_t aStep)
	{
		unsigned int k = 0;
		bool wholeStride = ((4 * aStep) & 0xFFFFFFFFu) == 0;
		if (has_byte_shuffles() && aStep <= ((uint64_t)1 << 32))
			k = wholeStride ? lerp_periodic(aIn, aInCount, aOut, aCount, aStart, aStep)
			                : lerp_shuffled(aIn, aInCount, aOut, aCount, aStart, aStep);
		uint64_t at = aStart + (uint64_t)k * aStep;
		k += lerp_gathered(aIn, aOut + k, aCount - k, at, aStep);
		for (; k < aCount; k++)
			aOut[k] = lerp_one(aIn, aStart + (uint64_t)k * aStep);
	}
}
