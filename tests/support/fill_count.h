#pragma once
// The fill of one draw as the driver counts it: the fragments it shades and the samples
// it writes, in screens' worth (alpha-tested texels are shaded, not written). Without
// the pipeline-statistics extension the shaded figure is the written one.
#include <epoxy/gl.h>

struct Fill {
  double shaded = 0, written = 0;
};

template <class Draw>
Fill fill_of(int width, int height, Draw&& draw) {
  GLuint queries[2] = {};
  glGenQueries(2, queries);
  bool has_stats = epoxy_has_gl_extension("GL_ARB_pipeline_statistics_query");
  glBeginQuery(GL_SAMPLES_PASSED, queries[0]);
  if (has_stats)
    glBeginQuery(GL_FRAGMENT_SHADER_INVOCATIONS_ARB, queries[1]);
  draw();
  glEndQuery(GL_SAMPLES_PASSED);
  if (has_stats)
    glEndQuery(GL_FRAGMENT_SHADER_INVOCATIONS_ARB);
  GLuint64 written = 0, shaded = 0;
  glGetQueryObjectui64v(queries[0], GL_QUERY_RESULT, &written);
  if (has_stats)
    glGetQueryObjectui64v(queries[1], GL_QUERY_RESULT, &shaded);
  glDeleteQueries(2, queries);
  double screen = double(width) * height;
  return {(has_stats ? double(shaded) : double(written)) / screen, double(written) / screen};
}
