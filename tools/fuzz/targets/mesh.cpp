// The mesh reader: any file is read or refused without harm. A refused file leaves the
// mesh it was read into as it was; a file that was read has a buffer for exactly the
// vertices and indices it counts.
#include "engine/core/stream.h"
#include "engine/render/mesh.h"
#include "tools/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_init_device();
  PhysFSFileInputStream in(fuzz_put_file("input.mesh", data, size));
  Mesh* mesh = new Mesh();
  mesh->refCount = 1;
  mesh->numVerts = -7;  // a mark: a refused read must not touch the mesh
  try {
    read_mesh(in, *mesh);
    FUZZ_CHECK(mesh->numVerts >= 0 && mesh->numTris >= 0 && mesh->stride >= 0);
    FUZZ_CHECK((mesh->vb != nullptr) == ((int64_t)mesh->stride * mesh->numVerts > 0));
    FUZZ_CHECK((mesh->ib != nullptr) == (mesh->numTris > 0));
  } catch (const InputStream::Exception& e) {
    FUZZ_CHECK(e.message[0] != 0);
    FUZZ_CHECK(mesh->numVerts == -7 && !mesh->vb && !mesh->ib && mesh->quads.size() == 0 &&
               mesh->labels.size() == 0);
  }
  free_mesh(mesh);
  return 0;
}
