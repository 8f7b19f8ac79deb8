// Reading and writing the session's image files (TIFF, PNG, JPEG) and the
// content library's pictures, on libtiff, libpng and libjpeg.
//
// Readers deliver image 0 of a file as four components per pixel (red, green,
// blue, then a fourth that the caller keeps or ignores) at 1, 2 or 4 bytes per
// component; 2-byte samples are native-order unsigned 16-bit values, 4-byte
// samples native floats on the scale 0..1. Grey images are spread over the
// three colour components. Pixels with an alpha channel are drawn over black
// (as a drawing into an opaque bitmap would) unless the caller asks for the
// straight colours and the alpha, as the content importer does.
//
// Every failure is a negative status with a message that says what was wrong;
// nothing throws through this interface. A declared size beyond the limits
// below is refused before anything large is allocated, and the libraries' own
// allocation limits are set to match. Writes go to a temporary file in the
// same folder that is renamed over the destination only once it is complete,
// so a failed write leaves the old file as it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace plat::imageio {

// Type identifiers of the formats, as the image system names them.
inline constexpr const char* kTypeTIFF = "public.tiff";
inline constexpr const char* kTypePNG = "public.png";
inline constexpr const char* kTypeJPEG = "public.jpeg";

// Limits checked against a file's declared size before any pixel memory is
// taken. 2^28 pixels of four components is a 1 GiB buffer at 8 bits, 2 GiB
// at 16 and 4 GiB as floats: the worst a caller's target can reach. The
// file must also hold enough data for that size (each coding can expand
// its data only so far), so a short file asking for much is refused as
// damaged before its target is made; and the readers' own work memory is a
// band of rows, not a second image.
inline constexpr uint32_t kMaxDimension = 65535;
inline constexpr uint64_t kMaxPixels = uint64_t{1} << 28;
// The side the session's images and the content importer take at most:
// the image record keeps its sizes in 16 bits.
inline constexpr uint32_t kMaxSessionSide = 32767;
// Largest single metadata block (ICC profile, EXIF, compressed text) accepted.
inline constexpr size_t kMaxMetadataBytes = size_t{16} << 20;

enum Status : int {
  kOk = 0,
  kErrOpen = -1,         // the file cannot be opened or created
  kErrFormat = -2,       // not a TIFF, PNG or JPEG file
  kErrDamaged = -3,      // damaged or truncated data
  kErrTooLarge = -4,     // declared size beyond the limits
  kErrUnsupported = -5,  // a layout the readers do not handle
  kErrWrite = -6,        // writing or renaming failed; the old file is kept
  kErrNoMemory = -7,
  kErrArgument = -8,     // bad buffer or type given by the caller
};

// Properties kept from a file and written back with it.
struct Properties {
  bool hasResolution = false;
  double resolutionX = 72.0;  // pixels per inch
  double resolutionY = 72.0;
  std::vector<uint8_t> iccProfile;
  // The EXIF block as a TIFF-structured byte string ("II*\0" or "MM\0*" and
  // its directories), the form that JPEG's APP1 and PNG's eXIf hold.
  std::vector<uint8_t> exif;
  // How the stored grid is to be shown, numbered as TIFF and EXIF number it
  // (1: as stored, 3: turned half round, 6: turned a quarter clockwise ...).
  // Readers give the stored grid and report this; whoever turns the pixels
  // upright (OrientPixels) sets it to 1 before writing them back.
  int orientation = 1;
  // A JPEG's colour sampling, as the luma's factors against the chroma's
  // (2 x 2 for 4:2:0, 1 x 1 for 4:4:4), kept so that a write-back does not
  // blur what the source held sharp; 0 where the source said nothing.
  int jpegSamplingH = 0;
  int jpegSamplingV = 0;
  // JPEG quality 1..100 for a write-back; 0 is the usual 90.
  int jpegQuality = 0;
  // The pixels' fourth component is the picture's alpha, its colours not
  // multiplied by it. A read that asked for the straight colours of a file
  // with an alpha channel sets it; the TIFF and PNG writers then write the
  // fourth component as the file's alpha (JPEG has none). Without it the
  // fourth component is left out of the file, as before.
  bool hasAlpha = false;
};

struct ImageInfo {
  std::string type;          // one of the kType identifiers
  uint32_t width = 0;
  uint32_t height = 0;
  int bitsPerComponent = 0;  // 8, 16 or 32 (float) as the pixels are decoded
  bool isFloat = false;
  bool hasAlpha = false;
  Properties properties;
};

// Where decoded pixels go: `bytesPerComponent` 1, 2 or 4, four components per
// pixel, rows `rowBytes` apart starting at `base`.
struct PixelTarget {
  uint8_t* base = nullptr;
  size_t rowBytes = 0;
  int bytesPerComponent = 1;
};

// Called once the header has been checked, before pixels are decoded; it sees
// the image's description and fills in the target. Returning false abandons
// the read with kErrNoMemory.
using TargetFactory = std::function<bool(const ImageInfo& info, PixelTarget* target)>;

// Pixels handed to a writer: four components per pixel, the fourth ignored.
struct PixelSource {
  const uint8_t* base = nullptr;
  size_t rowBytes = 0;
  uint32_t width = 0;
  uint32_t height = 0;
  int bytesPerComponent = 1;
};

// The description and properties of image 0, without decoding pixels.
int ReadInfo(const std::string& path, ImageInfo* info, std::string* message = nullptr);

// Decodes image 0 into the target the factory provides. With `straightAlpha`
// the colours are left as stored and the alpha goes to the fourth component
// (and, when the file has an alpha channel, info->properties.hasAlpha is
// set); otherwise they are drawn over black and the fourth component is
// opaque.
int ReadImage(const std::string& path, const TargetFactory& factory, ImageInfo* info,
              bool straightAlpha = false, std::string* message = nullptr);

// Writes the pixels as image 0 of a new file of the given type, replacing
// `path` only when the whole file was written. TIFF keeps the source's depth
// (floats as 32-bit IEEE samples), PNG keeps 8 or 16 bits (floats become 16),
// JPEG is always 8 bits. The fourth component is written as straight
// (unassociated) alpha by TIFF and PNG when `properties.hasAlpha` says so;
// otherwise no alpha is written.
int WriteImage(const std::string& path, const std::string& type, const Properties& properties,
               const PixelSource& pixels, std::string* message = nullptr);

// Content generators only: the pixels as an 8-bit RGBA TIFF whose fourth
// component is written as unassociated (straight) alpha, so the content
// importer reads it back exactly. `bytesPerComponent` must be 1. The file is
// replaced only once it is complete, as with WriteImage.
int WriteRgbaTiff(const std::string& path, const PixelSource& pixels,
                  std::string* message = nullptr);

// The upright picture of pixels kept in a file's stored grid, by the file's
// orientation (Properties::orientation, 1..8): four components per pixel of
// `bytesPerComponent` bytes, rows packed in `upright`; orientations 5..8
// swap width and height. Any other orientation copies the grid as it is.
// kErrArgument for a malformed source, kErrNoMemory when no room.
int OrientPixels(const PixelSource& stored, int orientation, std::vector<uint8_t>* upright,
                 uint32_t* width, uint32_t* height);

// The format of a file by its first bytes: a kType identifier, or "".
std::string SniffType(const std::string& path);

// Content library: a picture as 32-bit pixels of alpha, red, green, blue bytes
// at its natural size, row 0 at the top. kErrTooLarge for a side beyond
// kMaxSessionSide.
int DecodeARGB(const std::string& path, uint32_t* width, uint32_t* height,
               std::vector<uint8_t>* argb, std::string* message = nullptr);
// The natural size of a picture without decoding it.
int NaturalSize(const std::string& path, uint32_t* width, uint32_t* height);
// File-name extensions (lower case, with the dot) that the readers take.
const std::vector<std::string>& ReadableExtensions();

// A one-line description of a status code.
const char* StatusText(int status);

}  // namespace plat::imageio
