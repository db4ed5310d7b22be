# Writes OUT: the header IN with a field added at the start of class Actor, the edit
# that moves every field of every actor class.
file(READ ${IN} text)
set(head "class Actor : public GameObj {\n public:\n")
string(REPLACE "${head}" "${head}  float pad[1024];\n" grown "${text}")
if(grown STREQUAL text)
  message(FATAL_ERROR "${IN}: no \"class Actor : public GameObj {\" followed by \" public:\" to grow")
endif()
file(WRITE ${OUT} "${grown}")
