#pragma once
// The installer's own console texts, written out here independently of the
// program so that a changed byte shows, and the expected standard output of a
// run as stretches tagged by who prints them.

#include "support/default_paths.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace e2e {

inline const std::string banner_and_confirmation =
    "\nThis program will install Vorlan V1.5 on your computer and will configure your Apache Web "
    "Server and Apache Tomcat \nenvironments.\n\n"
    "*******************************************************************************\n"
    "************                      IMPORTANT                       *************\n"
    "*******************************************************************************\n"
    "* This program should be run only after you have successfully installed       *\n"
    "* the following components:                                                   *\n"
    "*                                                                             *\n"
    "*   1.  Java SDK                                                              *\n"
    "*   2.  Apache Web Server                                                     *\n"
    "*   3.  Apache Tomcat                                                         *\n"
    "*                                                                             *\n"
    "* It will copy the necessary web files, servlets, and jsps to your computer.  *\n"
    "*                                                                             *\n"
    "* DO NOT PROCEED UNTIL YOU HAVE INSTALLED THE ABOVE COMPONENTS.               *\n"
    "* If your Tomcat environment has already been configured by this program,     *\n"
    "* it will only copy the Java files to your computer and will not reconfigure  *\n"
    "* Tomcat again.                                                               *\n"
    "*******************************************************************************\n"
    "\nYou will be required to enter the directory paths for the above components.\n"
    "Do you wish to continue [Y/N]?";

inline const std::string java_question =
    "\nEnter Your Java 2 SDK's Directory, press ENTER for default.\n[Default=" + java_windows_dir +
    "]: ";
inline const std::string apache_question =
    "\nEnter Your Apache HTTP Server's Directory, press ENTER for default.\n"
    "[Default=" +
    apache_windows_dir + "]: ";
inline const std::string tomcat_question =
    "\nEnter Your Apache Tomcat's Directory, press ENTER for default.\n"
    "[Default is under " +
    tomcat_windows_dir + "]: ";
inline const std::string all_questions =
    banner_and_confirmation + java_question + apache_question + tomcat_question;

inline const std::string abort_message = "User has chosen to abort the installation...\n";
inline const std::string completion = "Installation completed. Press Cntrl-C to continue.";

// Who prints a stretch of standard output. The command interpreter's copy and
// xcopy print in their own way on each platform (Wine's copy prints no count
// line at all), so only the installer's stretches hold on every build.
enum class Writer { installer, interpreter };

struct Segment {
    Writer writer;
    std::string text;
};

class Transcript {
  public:
    Transcript() = default;
    Transcript(Writer writer, std::string text) { segments_.push_back({writer, std::move(text)}); }

    Transcript &operator+=(const Transcript &more);
    friend Transcript operator+(Transcript left, const Transcript &right) {
        left += right;
        return left;
    }

    const std::vector<Segment> &segments() const { return segments_; }
    // Every stretch, as the build whose interpreter the texts were written for prints it.
    std::string whole_text() const;

  private:
    std::vector<Segment> segments_;
};

inline Transcript own(std::string text) {
    return {Writer::installer, std::move(text)};
}
inline Transcript interpreter(std::string text) {
    return {Writer::interpreter, std::move(text)};
}

enum class Comparison {
    every_byte,     // the whole transcript, interpreter stretches included
    installer_only, // the installer's stretches in order; each interpreter stretch is any text
};

::testing::AssertionResult matches(std::string_view out, const Transcript &expected,
                                   Comparison how);

} // namespace e2e
