# The streaming XML reader the SOAP reply and fault parsers run on.
monitor_object_library(platform_xml
  SOURCES platform/XmlReader.cpp
  DEPS EXPAT::EXPAT)
