#pragma once
// Preview pages: "preview/" shows an image or a text file, the office viewer
// pages under "docs/" name the document and show its text, and
// "api/v1/wp/wopi/files/<id>" answers the document's information.
class Router;

namespace preview {
void registerRoutes(Router &main);
}
