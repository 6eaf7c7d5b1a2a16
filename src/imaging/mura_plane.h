#pragma once

// Plane decoding of the layered image reader (internal to mura_reader.cpp and its
// tests): turns one stored colour or alpha payload into the rows of a plane.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "imaging/dib_surface.h"
#include "imaging/mura.h"

namespace koru {

// Memory for inflated payloads, kept from plane to plane of one load so that its pages are
// not handed back to the system and faulted in again for every plane.
struct TMuraPlaneScratch {
  std::unique_ptr<uint8_t[]> Buffer;
  size_t Capacity = 0;
};

struct TMuraPlaneContext {
  const TMuraHeader& Header;
  int32_t IdentificationCode;
  // Frames read so far (with their layers) for block references to other planes.
  const TMuraFrameList& List;
  bool AlphaPlane;
  TMuraPlaneScratch& Scratch;
};

// Bytes the decompressed payload of this plane may hold at most (rows, or block
// references plus every block stored literally).
int64_t MuraPlaneMaxPayload(const TMuraHeader& header, const TDIBSurface& plane);

// Decodes payload into plane (sized beforehand, its pixels possibly unspecified as after
// SetSizeForOverwrite: every pixel is written, and on failure whatever was not written is
// zeroed; a JPEG colour plane is converted to the plane's bit count). Throws
// "ファイルが破壊されています" for a payload that does not fit the plane, zlib's or libjpeg's
// message for undecodable data.
void DecodeMuraPlane(const TMuraPlaneContext& context, std::vector<uint8_t> payload,
                     TDIBSurface& plane);

}  // namespace koru
